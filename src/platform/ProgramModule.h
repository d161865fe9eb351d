#pragma once
// Modules beside the program (libcorvane_*.so): parts whose libraries cost megabytes resident
// once mapped, loaded only when first needed.
namespace corvane {

// `symbol` of the module `fileName`, looked for beside the program (a build tree; the tests
// one level down), else where it is installed. Never unloaded: what it makes may live until
// the end. nullptr when no module is found or it lacks the symbol; why is logged.
void *programModuleSymbol(const char *fileName, const char *symbol);

} // namespace corvane
