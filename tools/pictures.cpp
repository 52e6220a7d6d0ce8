// The pictures of make_bitmaps: the demo's three bitmaps (the sphere-mapped environment, the
// intro title and the title's alpha mask) and the program's icon, drawn from formulas. The page
// draws the bitmaps with this code too, so it needs nothing beyond the standard library.

#include "pictures.h"

#include <cmath>

#include "shading.h"

namespace pictures {

namespace {

using shading::clamp01;
using shading::exp_neg;
using shading::mix;
using shading::Rgb;
using shading::smoothstep;

struct Vec3 {
  double x, y, z;
};

double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 normalized(Vec3 v) {
  const double length = std::sqrt(dot(v, v));
  return {v.x / length, v.y / length, v.z / length};
}

// The environment: a sky seen in a chrome ball. Colours are picked for the way the demo uses
// the map: multiplied by a blue water material, so the sky must stay bright in green and blue.

const Rgb kZenith{0.30, 0.33, 0.80};
const Rgb kUpperSky{0.50, 0.60, 0.93};
const Rgb kHorizonSky{0.88, 0.90, 0.99};
const Rgb kHorizonLine{0.30, 0.27, 0.22};  // added on top: a thin warm line of light
const Rgb kNearGround{0.40, 0.40, 0.50};
const Rgb kFarGround{0.16, 0.17, 0.25};
const Rgb kHaze{0.64, 0.64, 0.76};  // close to the demo's fog, so far land melts into it
const Rgb kCloud{0.96, 0.95, 1.00};
const Rgb kSunlight{1.00, 0.97, 0.88};
const Vec3 kSun = normalized({-0.45, 0.62, 0.64});
const Vec3 kFillLight = normalized({0.62, 0.30, 0.72});

Rgb sky(Vec3 r) {
  const double up = r.y;
  Rgb colour = mix(kHorizonSky, kUpperSky, smoothstep(0.0, 0.45, up));
  colour = mix(colour, kZenith, smoothstep(0.35, 1.0, up));

  // Clouds on a plane overhead: dividing by the height draws them together toward the horizon.
  const double height = up + 0.12;
  const double cloud = shading::fractal_noise(r.x / height * 1.6, r.z / height * 3.2, 7u);
  const double cover = smoothstep(0.52, 0.78, cloud) * smoothstep(0.04, 0.25, up) *
                       (1.0 - smoothstep(0.55, 0.95, up));
  return mix(colour, kCloud, 0.55 * cover);
}

Rgb ground(Vec3 r) {
  const double down = -r.y;
  const double texture = shading::fractal_noise(r.x / (down + 0.1) * 2.0, r.z / (down + 0.1) * 6.0, 29u);
  const Rgb colour = mix(kNearGround, kFarGround, smoothstep(0.0, 0.6, down)) * (0.9 + 0.2 * texture);
  return mix(kHaze, colour, smoothstep(0.0, 0.08, down));
}

Rgb environment(Vec3 r) {
  Rgb colour = r.y >= 0.0 ? sky(r) : ground(r);
  colour = colour + kHorizonLine * exp_neg(-(r.y * r.y) / (0.03 * 0.03));
  colour = colour + kHorizonSky * (0.12 * exp_neg(-(r.y * r.y) / (0.15 * 0.15)));

  const double sun = dot(r, kSun);
  colour = colour + kSunlight * (0.9 * exp_neg(-(1.0 - sun) * 260.0) + 0.25 * exp_neg(-(1.0 - sun) * 9.0));
  const double fill = dot(r, kFillLight);
  colour = colour + kSunlight * (0.22 * exp_neg(-(1.0 - fill) * 40.0));

  // What lies behind the viewer lands on the rim of the disk. A slight dimming rounds the
  // ball; more would darken the water, whose grazing reflections sample mostly the rim.
  return colour * mix(1.0, 0.95, smoothstep(0.2, -1.0, r.z));
}

// Sphere mapping stores the reflection seen at normal n = (x, y, sqrt(1 - x^2 - y^2)) looking
// down -z at disk position (x, y). Outside the disk the rim colour is carried on, so filtering
// near the edge never picks up a seam.
Rgb sphere_map_texel(double x, double y) {
  constexpr double kRim = 0.998;
  const double radius2 = x * x + y * y;
  if (radius2 > kRim * kRim) {
    const double shrink = kRim / std::sqrt(radius2);
    x *= shrink;
    y *= shrink;
  }
  const double nz = std::sqrt(1.0 - x * x - y * y);
  return environment({2.0 * x * nz, 2.0 * y * nz, 2.0 * nz * nz - 1.0});
}

}  // namespace

bmp::Image environment_map() {
  constexpr int kSamples = 4;  // per axis: the rim squeezes half the world into a few pixels
  bmp::Image image(kSize, kSize, 3);
  for (int row = 0; row < kSize; ++row) {
    for (int x = 0; x < kSize; ++x) {
      Rgb sum{0.0, 0.0, 0.0};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double u = (x + (sx + 0.5) / kSamples) / kSize * 2.0 - 1.0;
          const double v = (row + (sy + 0.5) / kSamples) / kSize * 2.0 - 1.0;
          sum = sum + sphere_map_texel(u, v);
        }
      }
      const Rgb c = sum * (1.0 / (kSamples * kSamples));
      std::uint8_t* texel = image.at(x, row);
      texel[0] = shading::to_byte(c.b, x, row, 1u);
      texel[1] = shading::to_byte(c.g, x, row, 2u);
      texel[2] = shading::to_byte(c.r, x, row, 3u);
    }
  }
  return image;
}

namespace {

// The title "ovu", drawn as signed distances in pixels (negative inside), y up from the bottom
// row. Strokes are round-ended capsules, so every letter is a union of rings and segments.

struct Point {
  double x, y;
};

constexpr double kBaseline = 181.0;
constexpr double kXHeight = 150.0;
constexpr double kHalfStroke = 17.0;
constexpr double kStrokeTop = kBaseline + kXHeight - kHalfStroke;
constexpr double kStrokeBottom = kBaseline + kHalfStroke;
// Centres spaced by eye: the round "o" may sit closer to the "v" than the "v" to the "u".
constexpr double kCentreO = 106.0;
constexpr double kCentreV = 262.0;
constexpr double kCentreU = 414.0;
constexpr double kOutline = 3.0;  // dark rim outside the letter fill, part of the opaque mask

double length(double x, double y) { return std::sqrt(x * x + y * y); }
double magnitude(double v) { return v < 0.0 ? -v : v; }

// The strokes of the "v" are blended rather than cut together: the crotch gets a fillet and the
// field keeps a continuous slope, so the bevel shading shows no crease down the join. The tip
// swells by a quarter of the fillet, a small overshoot below the baseline as pointed letters have.
double smooth_union(double a, double b) {
  constexpr double kFillet = 8.0;
  const double h = clamp01(0.5 + 0.5 * (b - a) / kFillet);
  return mix(b, a, h) - kFillet * h * (1.0 - h);
}

double segment_distance(Point p, Point a, Point b) {
  const double abx = b.x - a.x, aby = b.y - a.y;
  const double t = clamp01(((p.x - a.x) * abx + (p.y - a.y) * aby) / (abx * abx + aby * aby));
  return length(p.x - a.x - abx * t, p.y - a.y - aby * t);
}

double letter_o(Point p) {
  constexpr double kRadius = kXHeight / 2.0 - kHalfStroke;
  const double ring = length(p.x - kCentreO, p.y - (kBaseline + kXHeight / 2.0)) - kRadius;
  return magnitude(ring) - kHalfStroke;
}

double letter_v(Point p) {
  constexpr double kSpread = 52.0;  // centre line at the top, each side
  const Point bottom{kCentreV, kStrokeBottom};
  const double left = segment_distance(p, {kCentreV - kSpread, kStrokeTop}, bottom);
  const double right = segment_distance(p, {kCentreV + kSpread, kStrokeTop}, bottom);
  return smooth_union(left, right) - kHalfStroke;
}

double letter_u(Point p) {
  constexpr double kRadius = 50.0;  // bowl centre line, also the stems' distance from the centre
  constexpr double kBowlY = kStrokeBottom + kRadius;
  double d = segment_distance(p, {kCentreU - kRadius, kBowlY}, {kCentreU - kRadius, kStrokeTop});
  if (p.y < kBowlY) d = std::fmin(d, magnitude(length(p.x - kCentreU, p.y - kBowlY) - kRadius));
  // The right stem runs down to the baseline, as a lowercase u does.
  const double stem =
      segment_distance(p, {kCentreU + kRadius, kStrokeBottom}, {kCentreU + kRadius, kStrokeTop});
  // A plain union here: the stem runs alongside the bowl, where blending would swell the stroke.
  return std::fmin(d, stem) - kHalfStroke;
}

double title_distance(Point p) {
  return std::fmin(letter_o(p), std::fmin(letter_v(p), letter_u(p)));
}

// Pixel coverage of the inside of a distance field, a ramp a little over a pixel wide.
double coverage(double distance) { return clamp01(0.5 - distance / 1.25); }

const Rgb kChromeTop{0.97, 0.98, 1.00};
const Rgb kChromeSky{0.42, 0.54, 0.86};
const Rgb kChromeHorizon{0.26, 0.30, 0.46};
const Rgb kChromeLine{1.00, 0.97, 0.92};
const Rgb kChromeGround{0.66, 0.55, 0.46};
const Rgb kChromeFoot{0.88, 0.80, 0.70};
const Rgb kOutlineColour{0.02, 0.05, 0.16};
const Rgb kShadowColour{0.00, 0.01, 0.05};

// Polished metal: the sky in the upper half, a bright horizon just below the middle, warm ground
// beneath; the edges catch a light from the upper left.
Rgb chrome(Point p, double distance) {
  const double t = (p.y - kBaseline) / kXHeight;
  Rgb colour = t > 0.46 ? mix(kChromeSky, kChromeTop, smoothstep(0.48, 1.02, t))
                        : mix(mix(kChromeFoot, kChromeGround, smoothstep(0.0, 0.22, t)), kChromeLine,
                              smoothstep(0.2, 0.45, t));
  // A dark seam right at the horizon makes the bright band below it read as a reflection.
  const double from_horizon = p.y - (kBaseline + 0.465 * kXHeight);
  colour = mix(colour, kChromeHorizon, 1.0 - smoothstep(1.0, 3.0, magnitude(from_horizon)));

  constexpr double kStep = 0.5;
  const double gx = title_distance({p.x + kStep, p.y}) - title_distance({p.x - kStep, p.y});
  const double gy = title_distance({p.x, p.y + kStep}) - title_distance({p.x, p.y - kStep});
  const double g = length(gx, gy);
  if (g > 0.0) {
    const double facing = (gx * -0.45 + gy * 0.89) / g;  // outward normal against the light
    const double bevel = 1.0 - smoothstep(0.0, 7.0, -distance);
    if (facing > 0.0) colour = mix(colour, Rgb{1.0, 1.0, 1.0}, 0.6 * facing * bevel);
    else colour = colour * (1.0 + 0.45 * facing * bevel);
  }
  return colour;
}

// A deep blue field with a faint glow behind the title; the mask hides it in the demo except
// as the low-alpha halo that keeps the letters readable over bright water.
Rgb backdrop(Point p) {
  const double t = p.y / kSize;
  const Rgb colour = mix(Rgb{0.01, 0.08, 0.17}, Rgb{0.05, 0.08, 0.26}, t);
  const double dx = (p.x - kSize / 2.0) / 300.0, dy = (p.y - kSize / 2.0) / 170.0;
  return colour + Rgb{0.05, 0.12, 0.22} * exp_neg(-(dx * dx + dy * dy));
}

}  // namespace

Title draw_title() {
  constexpr double kHaloAlpha = 0.18;
  constexpr double kShadowAlpha = 0.35;  // with the halo at most 119 of 255: well apart from the letters
  const Point kShadowOffset{5.0, -6.0};
  Title title;
  for (int row = 0; row < kSize; ++row) {
    for (int x = 0; x < kSize; ++x) {
      const Point p{x + 0.5, row + 0.5};
      const double d = title_distance(p);
      const double fill = coverage(d);
      const double rim = coverage(d - kOutline);
      const double shadow_d = title_distance({p.x - kShadowOffset.x, p.y - kShadowOffset.y}) - kOutline;
      const double shadow = kShadowAlpha * (1.0 - smoothstep(-5.0, 9.0, shadow_d));
      const double halo = kHaloAlpha * (1.0 - smoothstep(-10.0, 48.0, d));

      Rgb colour = mix(backdrop(p), kShadowColour, shadow);
      colour = mix(colour, kOutlineColour, rim);
      if (fill > 0.0) colour = mix(colour, chrome(p, d), fill);
      std::uint8_t* pixel = title.picture.at(x, row);
      pixel[0] = shading::to_byte(colour.b, x, row, 4u);
      pixel[1] = shading::to_byte(colour.g, x, row, 5u);
      pixel[2] = shading::to_byte(colour.r, x, row, 6u);

      const double alpha = 1.0 - (1.0 - halo) * (1.0 - shadow) * (1.0 - rim);
      *title.mask.at(x, row) = static_cast<std::uint8_t>(std::floor(alpha * 255.0 + 0.5));
    }
  }
  return title;
}

namespace {

// The icon: a round pool of the demo's water with rings spreading from a drop, and the chrome
// ball floating over it. Drawn in a unit square (y up) and supersampled, so every size is
// smooth at its edges.

const Rgb kPoolDeep{0.03, 0.12, 0.30};
const Rgb kPoolShallow{0.18, 0.42, 0.70};
const Rgb kRipple{0.70, 0.84, 0.98};
const Rgb kPoolRim{0.02, 0.05, 0.16};
constexpr double kPoolRadius = 0.47;
constexpr double kRimWidth = 0.035;
constexpr double kBallRadius = 0.19;
const Point kBallCentre{0.5, 0.60};
const Point kDrop{0.5, 0.34};

// Rings as a smooth triangle wave of the distance from the drop, fading outwards.
double ripple(Point p) {
  const double r = length(p.x - kDrop.x, p.y - kDrop.y) * 11.0;
  const double phase = r - std::floor(r);
  const double crest = smoothstep(0.25, 0.5, phase) * (1.0 - smoothstep(0.5, 0.75, phase));
  return crest * exp_neg(-r * 0.28);
}

// The ball shows the sky above its horizon and warm ground below, with a highlight up left.
Rgb ball(Point p) {
  const double nx = (p.x - kBallCentre.x) / kBallRadius, ny = (p.y - kBallCentre.y) / kBallRadius;
  const double nz = std::sqrt(clamp01(1.0 - nx * nx - ny * ny));
  Rgb colour = ny > -0.05 ? mix(kChromeSky, kChromeTop, smoothstep(-0.05, 0.9, ny))
                          : mix(kChromeLine, kChromeGround, smoothstep(-0.05, -0.6, ny));
  const double light = clamp01(-0.45 * nx + 0.55 * ny + 0.70 * nz);
  colour = colour * (0.55 + 0.45 * nz) + Rgb{1.0, 1.0, 1.0} * (0.8 * exp_neg(-(1.0 - light) * 30.0));
  return colour;
}

// One sample: colour and opacity at a point of the unit square.
Rgb icon_sample(Point p, double& alpha) {
  const double from_centre = length(p.x - 0.5, p.y - 0.5);
  alpha = from_centre <= kPoolRadius ? 1.0 : 0.0;
  if (alpha == 0.0) return {0.0, 0.0, 0.0};
  if (from_centre > kPoolRadius - kRimWidth) return kPoolRim;
  if (length(p.x - kBallCentre.x, p.y - kBallCentre.y) <= kBallRadius) return ball(p);
  Rgb colour = mix(kPoolShallow, kPoolDeep, smoothstep(0.1, 0.9, p.y));
  // The ball's shadow on the water, below and to the right of it.
  const double shadow = length(p.x - kBallCentre.x - 0.06, (p.y - kBallCentre.y + 0.13) * 1.8);
  colour = colour * (1.0 - 0.45 * (1.0 - smoothstep(0.10, 0.24, shadow)));
  return mix(colour, kRipple, 0.75 * ripple(p));
}

}  // namespace

Icon draw_icon(int size) {
  constexpr int kSamples = 4;  // per axis
  Icon picture;
  picture.size = size;
  for (int row = 0; row < size; ++row) {
    for (int x = 0; x < size; ++x) {
      Rgb sum{0.0, 0.0, 0.0};  // premultiplied, so the edges do not darken
      double coverage_sum = 0.0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          double alpha = 0.0;
          const Point p{(x + (sx + 0.5) / kSamples) / size, 1.0 - (row + (sy + 0.5) / kSamples) / size};
          const Rgb colour = icon_sample(p, alpha);
          sum = sum + colour * alpha;
          coverage_sum += alpha;
        }
      }
      const double alpha = coverage_sum / (kSamples * kSamples);
      const Rgb c = coverage_sum > 0.0 ? sum * (1.0 / coverage_sum) : Rgb{0.0, 0.0, 0.0};
      picture.rgba.push_back(shading::to_byte(c.r, x, row, 7u));
      picture.rgba.push_back(shading::to_byte(c.g, x, row, 8u));
      picture.rgba.push_back(shading::to_byte(c.b, x, row, 9u));
      picture.rgba.push_back(static_cast<std::uint8_t>(std::floor(alpha * 255.0 + 0.5)));
    }
  }
  return picture;
}

std::vector<File> demo_bitmaps() {
  Title title = draw_title();
  std::vector<File> files;
  files.push_back({"CHRMWARP.bmp", bmp::encode(environment_map())});
  files.push_back({"vo.bmp", bmp::encode(title.picture)});
  files.push_back({"vomask.bmp", bmp::encode(title.mask)});
  return files;
}

}  // namespace pictures
