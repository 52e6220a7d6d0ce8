#include "gl/water_draw.h"

#include "core/numeric.h"
#include "gl/gl_api.h"

namespace ovu {

namespace {

constexpr GLfloat kWaterDiffuse[4] = {0.1f, 0.4f, 1.0f, 1.0f};
constexpr GLfloat kWaterSpecular[4] = {1, 1, 1, 1};
constexpr GLfloat kWaterShininess[1] = {50};
constexpr GLfloat kBallColour[3] = {1.0f, 0.9f, 0.9f};
constexpr Extended kBallLift = 20;  // towards the eye from the light
constexpr GLdouble kBallRadius = 8.0;
constexpr GLint kBallSlices = 20;
constexpr GLint kBallStacks = 20;

void draw_strips(const Water& water) {
  constexpr int n = Water::kSize;
  const Extended half = Extended(n) / 2;
  constexpr float spacing = Water::kSpacing;
  const Normal* normals = water.normals().data();
  for (int i = 1; i < n; ++i) {
    glBegin(GL_TRIANGLE_STRIP);
    const float z0 = to_single((i - half) * spacing);
    const float z1 = to_single(Extended(z0) + spacing);
    float x = to_single((1 - half) * spacing);
    for (int j = 1; j <= n; ++j) {
      // Row i before row i + 1: the upper side winds counter-clockwise.
      glNormal3fv(&normals[(i - 1) * n + (j - 1)].x);
      glVertex3f(x, water.height(i, j), z0);
      glNormal3fv(&normals[i * n + (j - 1)].x);
      glVertex3f(x, water.height(i + 1, j), z1);
      x = to_single(Extended(x) + spacing);
    }
    glEnd();
  }
}

void draw_ball() {
  glColor3f(kBallColour[0], kBallColour[1], kBallColour[2]);
  glTranslatef(kLightPosition[0], kLightPosition[1], to_single(kLightPosition[2] + kBallLift));
  GLUquadric* quadric = gluNewQuadric();
  if (quadric == nullptr) return;  // no ball this frame rather than a crash
  gluSphere(quadric, kBallRadius, kBallSlices, kBallStacks);
  gluDeleteQuadric(quadric);
}

}  // namespace

void send_water(const Water& water, std::uint32_t environment_texture) {
  glEnable(GL_NORMALIZE);
  glEnable(GL_LIGHTING);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glBindTexture(GL_TEXTURE_2D, environment_texture);

  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kWaterDiffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, kWaterSpecular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, kWaterShininess);

  draw_strips(water);

  glDisable(GL_NORMALIZE);
  glDisable(GL_LIGHTING);
  draw_ball();
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
}

}  // namespace ovu
