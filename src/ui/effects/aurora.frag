#version 440
// Aurora backdrop: nebula, six drifting bands, a fixed star field, grain, vignette
// and a slow hue drift. Works in points so the look does not change with the scale.

layout(location = 0) in vec2 qt_TexCoord0;
layout(location = 0) out vec4 fragColor;

layout(std140, binding = 0) uniform buf {
    mat4 qt_Matrix;
    float qt_Opacity;
    float time;       // seconds since the view started
    vec2 sizePx;      // drawable size in pixels
    float pixelScale; // device pixels per point
    float intensity;  // aurora strength over the dark base; 0.55 is the designed look
    float particles;  // 1: stars and grain, 0: none
};

float hash21(vec2 p)
{
    p = fract(p * vec2(123.34, 456.21));
    p += dot(p, p + 45.32);
    return fract(p.x * p.y);
}

float valueNoise(vec2 p)
{
    vec2 i = floor(p);
    vec2 f = fract(p);
    f = f * f * (3.0 - 2.0 * f);
    float a = hash21(i);
    float b = hash21(i + vec2(1.0, 0.0));
    float c = hash21(i + vec2(0.0, 1.0));
    float d = hash21(i + vec2(1.0, 1.0));
    return mix(mix(a, b, f.x), mix(c, d, f.x), f.y);
}

float fbm(vec2 p)
{
    float sum = 0.0;
    float amp = 0.5;
    for (int i = 0; i < 6; ++i) {
        sum += amp * valueNoise(p);
        p = p * 2.03 + vec2(31.7, 17.3);
        amp *= 0.5;
    }
    return sum;
}

vec2 rot2(vec2 p, float a)
{
    float c = cos(a);
    float s = sin(a);
    return vec2(c * p.x - s * p.y, s * p.x + c * p.y);
}

const vec3 DEEP = vec3(0.025, 0.030, 0.075);
const vec3 CYAN = vec3(0.30, 0.85, 1.00);
const vec3 AZURE = vec3(0.20, 0.50, 1.00);
const vec3 PURPLE = vec3(0.60, 0.30, 1.00);
const vec3 PINK = vec3(1.00, 0.35, 0.75);
const vec3 EMERALD = vec3(0.30, 0.95, 0.55);
const vec3 AMBER = vec3(1.00, 0.65, 0.30);

vec3 bandColor(int i)
{
    if (i == 0) return CYAN;
    if (i == 1) return AZURE;
    if (i == 2) return PURPLE;
    if (i == 3) return EMERALD;
    if (i == 4) return PINK;
    return AMBER;
}

void main()
{
    // Points, not pixels; origin top-left, y down. Sizes below 1 are clamped.
    float s = max(pixelScale, 1.0);
    vec2 pos = qt_TexCoord0 * sizePx / s;
    vec2 size = sizePx / s;
    vec2 uv = pos / max(size, vec2(1.0));
    float aspect = size.x / max(size.y, 1.0);
    vec2 p = vec2(uv.x * aspect, uv.y);

    vec3 col = DEEP;

    float n = fbm(p * 1.4 + vec2(time * 0.030, time * 0.018));
    n = pow(n, 1.7);
    col += n * 0.20 * mix(PURPLE, AZURE, uv.y);

    float bands = 0.0;
    vec3 bandSum = vec3(0.0);
    for (int i = 0; i < 6; ++i) {
        float fi = float(i);
        float t = time * (0.10 + 0.025 * fi);
        vec2 q = rot2(p - 0.5, 0.08 * sin(0.3 * t + fi)) + 0.5;
        float yOff = 0.22 + 0.13 * fi + 0.10 * sin(t + 1.7 * fi);
        float wave = 0.18 * sin(2.2 * q.x + 1.3 * t + 1.9 * fi)
                   + 0.09 * sin(4.7 * q.x - t + 0.7 * fi)
                   + 0.04 * sin(9.3 * q.x + 0.6 * t + fi);
        float dist = abs(q.y - yOff + wave);
        float width = 6.0 + 1.4 * fi + 1.8 * sin(t + fi);
        float breath = 0.35 + 0.28 * sin(0.7 * t + 1.5 * fi);
        float band = exp(-dist * width) * breath;
        bands += band;
        bandSum += band * bandColor(i);
    }
    if (bands > 0.0)
        col += (bandSum / bands) * bands * 1.05;

    col += clamp(bands * 0.5, 0.0, 0.7) * vec3(0.18, 0.22, 0.30);

    // Nebula and bands scale with the intensity around the designed 0.55.
    col = DEEP + (col - DEEP) * (max(intensity, 0.0) / 0.55);

    // The particles: twinkling stars and a moving grain.
    if (particles > 0.5) {
        // Small stars on a 140-point grid; the field is fixed, only the twinkle moves.
        {
            vec2 cell = floor(pos / 140.0);
            float prob = hash21(cell);
            if (prob > 0.62) {
                vec2 jitter = vec2(hash21(cell + 1.0), hash21(cell + 2.0));
                vec2 centre = (cell + jitter) * 140.0;
                float r = length(pos - centre);
                float radius = 1.6 + 1.5 * hash21(cell + 5.0);
                float halo = exp(-(r * r) / (2.0 * radius * radius));
                float twinkle = 0.55 + 0.45 * sin(0.9 * time + 50.0 * prob);
                float strength = (prob - 0.62) / 0.38;
                col += vec3(halo * twinkle * strength * 0.85);
            }
        }

        // Large stars on a 280-point grid, with a vertical and a horizontal ray.
        {
            vec2 cell = floor(pos / 280.0);
            float prob = hash21(cell + 17.0);
            if (prob > 0.78) {
                vec2 jitter = vec2(hash21(cell + 31.0), hash21(cell + 47.0));
                vec2 centre = (cell + jitter) * 280.0;
                float r = length(pos - centre);
                float radius = 3.0 + 2.5 * hash21(cell + 9.0);
                float halo = exp(-(r * r) / (2.0 * radius * radius));
                float dx = abs(pos.x - centre.x);
                float dy = abs(pos.y - centre.y);
                float spike = 0.08 * (exp(-0.18 * dy) * exp(-(dx * dx) / (0.3 * radius * radius))
                                    + exp(-0.18 * dx) * exp(-(dy * dy) / (0.3 * radius * radius)));
                float twinkle = 0.55 + 0.45 * sin(0.6 * time + 80.0 * prob);
                vec3 tint = mix(vec3(1.0), CYAN, 0.35);
                col += tint * (halo + spike) * twinkle * 0.95;
            }
        }

        col += vec3((hash21(pos + time) - 0.5) * 0.025);
    }

    vec2 v = uv - vec2(0.5, 0.55);
    v.x *= aspect;
    float vig = 1.0 - smoothstep(0.25, 1.05, length(v));
    col *= mix(0.30, 1.0, vig);

    float h = sin(0.05 * time) * 0.04;
    col.r += 0.25 * h;
    col.b -= 0.25 * h;

    fragColor = vec4(col, 1.0) * qt_Opacity;
}
