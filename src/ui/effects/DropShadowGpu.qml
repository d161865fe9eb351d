import Qt5Compat.GraphicalEffects

// Loaded by URL from DropShadowEffect only under a hardware scene graph.
DropShadow {}
