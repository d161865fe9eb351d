import Qt5Compat.GraphicalEffects

// Loaded by URL from FastBlurEffect only under a hardware scene graph.
FastBlur {}
