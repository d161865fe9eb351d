import Qt5Compat.GraphicalEffects

// Loaded by URL from GlowEffect only under a hardware scene graph.
Glow {}
