#include "gl/intro_draw.h"

#include "core/intro.h"
#include "gl/gl_api.h"

namespace ovu {

namespace {
constexpr GLfloat kOverlayScale = 2;  // the unit grid centred on 0 fills clip space
}

void send_intro(std::uint32_t texture, const IntroFade& fade, const IntroGrid& grid) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glScalef(kOverlayScale, kOverlayScale, kOverlayScale);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  glColor4f(1, 1, 1, fade.alpha);
  glBindTexture(GL_TEXTURE_2D, texture);

  for (const IntroStrip& strip : grid) {
    glBegin(GL_TRIANGLE_STRIP);
    for (const IntroVertex& v : strip) {
      glTexCoord2f(v.s, v.t);
      glVertex2f(v.x, v.y);
    }
    glEnd();
  }

  glDisable(GL_BLEND);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

}  // namespace ovu
