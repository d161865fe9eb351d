#pragma once
// Counts the tasks handed to Qt's thread pool through QThreadPool::start(std::function): the
// raster engine splits a large fill that way and waits for it. The test binary's own
// definition of that function stands in front of Qt's and passes each task on.
namespace corvane::test {

int poolStarts();

} // namespace corvane::test
