import Qt5Compat.GraphicalEffects

// Loaded by URL from RectangularGlowEffect only under a hardware scene graph.
RectangularGlow {}
