#pragma once
// Modules beside the program (libcorvane_*.so): parts whose libraries cost megabytes resident
// once mapped, loaded only when first needed.
namespace corvane {

// `symbol` of the module `fileName`, looked for in <libdir>/corvane beside the program's own
// <bindir> (wherever the install was put), else in the folder chosen at configure time, else
// in a build tree. Never unloaded: what it makes may live until the end. nullptr when no
// module is found or it lacks the symbol; why is logged.
void *programModuleSymbol(const char *fileName, const char *symbol);

} // namespace corvane
