#include "common/gl/mesh_shape.h"

#include <GL/gl.h>

#include <cmath>
#include <memory>

#include "common/angles.h"

namespace {

constexpr double kFullTurn = 360.0;
constexpr double kHalfTurn = 180.0;

/// Construction values shared by every shape kind.
constexpr int kFlag = 1;
constexpr double kParam = 1.0;

/// Shared shape sizes: bands and slices of each, and the rod's radii.
constexpr int kSphereBands = 5;
constexpr int kTorusBands = 20;
constexpr int kRodBands = 3;
constexpr int kSharedSlices = 10;
constexpr double kRodTopRadius = 0.05;
constexpr double kRodBottomRadius = 0.01;

/// Angle of vertex k around a strip, in radians; the last vertex closes the strip exactly.
double sliceAngle(int k, int slices) {
  return (k % slices) * kFullTurn / slices * DEG2RAD;
}

void set3(double* v, double x, double y, double z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
}

/// A vertex with its spare values set.
MeshShape::Vertex makeVertex(double px, double py, double pz, double nx, double ny, double nz) {
  MeshShape::Vertex v{};
  set3(v.position, px, py, pz);
  set3(v.normal, nx, ny, nz);
  v.spare[0] = 0;
  v.spare[1] = 1;
  return v;
}

/// Draws strips with OpenGL quad strips.
class GlSink : public MeshShape::StripSink {
 public:
  void beginStrip() override { glBegin(GL_QUAD_STRIP); }
  void vertex(const double normal[3], const double position[3]) override {
    glNormal3d(normal[0], normal[1], normal[2]);
    glVertex3d(position[0], position[1], position[2]);
  }
  void endStrip() override { glEnd(); }
};

std::unique_ptr<MeshShape> sharedShapes[kSharedShapeCount];

}  // namespace

MeshShape::MeshShape(int bands, int slices, int flag, double param)
    : bands_(bands), slices_(slices), flag_(flag), param_(param) {
  if (bands_ < 1 || slices_ < 1) bands_ = slices_ = 0;
  strips_.assign(bands_, std::vector<Pair>(slices_ + 1));
}

void MeshShape::drawScaled(double scale) {
  scale_ = scale;
  GlSink sink;
  emitScaled(scale, sink);
}

void MeshShape::emitScaled(double scale, StripSink& sink) const {
  const bool swapped = secondVertexFirst();
  auto emit = [&](const Vertex& v) {
    const double position[3] = {v.position[0] * scale, v.position[1] * scale,
                                v.position[2] * scale};
    sink.vertex(v.normal, position);
  };
  for (const std::vector<Pair>& strip : strips_) {
    sink.beginStrip();
    for (const Pair& pair : strip) {
      emit(swapped ? pair.second : pair.first);
      emit(swapped ? pair.first : pair.second);
    }
    sink.endStrip();
  }
}

SphereShape::SphereShape(int bands, int slices, double radius)
    : MeshShape(bands, slices, kFlag, kParam) {
  for (int i = 0; i < bands_; ++i) {
    const double a0 = i * kHalfTurn / bands_ * DEG2RAD;
    const double a1 = (i + 1) * kHalfTurn / bands_ * DEG2RAD;
    for (int k = 0; k <= slices_; ++k) {
      const double theta = sliceAngle(k, slices_);
      auto at = [&](double a) {
        const double nx = std::sin(a) * std::cos(theta);
        const double ny = std::cos(a);
        const double nz = std::sin(a) * std::sin(theta);
        return makeVertex(radius * nx, radius * ny, radius * nz, nx, ny, nz);
      };
      strips_[i][k] = {at(a1), at(a0)};
    }
  }
}

TorusShape::TorusShape(int bands, int slices, double ringRadius, double tubeRadius)
    : MeshShape(bands, slices, kFlag, kParam) {
  for (int i = 0; i < bands_; ++i) {
    const double phi0 = i * kFullTurn / bands_ * DEG2RAD;
    const double phi1 = (i + 1) * kFullTurn / bands_ * DEG2RAD;
    for (int k = 0; k <= slices_; ++k) {
      const double theta = sliceAngle(k, slices_);
      const double rho = ringRadius + tubeRadius * std::cos(theta);
      auto at = [&](double phi) {
        return makeVertex(rho * std::cos(phi), rho * std::sin(phi), tubeRadius * std::sin(theta),
                          std::cos(theta) * std::cos(phi), std::cos(theta) * std::sin(phi),
                          std::sin(theta));
      };
      strips_[i][k] = {at(phi1), at(phi0)};
    }
  }
}

void TorusShape::drawScaled(double scale) {
  MeshShape::drawScaled(scale);
}

RodShape::RodShape(int bands, int slices, double topRadius, double bottomRadius, double length)
    : MeshShape(bands, slices, kFlag, kParam) {
  const double n = bands_;
  for (int i = 0; i < bands_; ++i) {
    const double topHeight = length * (n - i) / n;
    const double topR = length * ((n - i) / n * topRadius + i / n * bottomRadius);
    const double bottomHeight = length * (n - i - 1) / n;
    const double bottomR = length * (topRadius * (n - i - 1) / n + bottomRadius * (i + 1) / n);
    for (int k = 0; k <= slices_; ++k) {
      const double theta = sliceAngle(k, slices_);
      const double c = std::cos(theta);
      const double s = std::sin(theta);
      strips_[i][k] = {makeVertex(topR * c, topR * s, topHeight, c, s, 0),
                       makeVertex(bottomR * c, bottomR * s, bottomHeight, c, s, 0)};
    }
  }
}

void createSharedShapes() {
  if (!sharedShapes[kSharedSphere]) {
    sharedShapes[kSharedSphere] = std::make_unique<SphereShape>(kSphereBands, kSharedSlices);
  }
  if (!sharedShapes[kSharedTorus]) {
    sharedShapes[kSharedTorus] = std::make_unique<TorusShape>(kTorusBands, kSharedSlices);
  }
  if (!sharedShapes[kSharedRod]) {
    sharedShapes[kSharedRod] =
        std::make_unique<RodShape>(kRodBands, kSharedSlices, kRodTopRadius, kRodBottomRadius);
  }
}

MeshShape* sharedShape(int index) {
  if (index < 0 || index >= kSharedShapeCount) return nullptr;
  return sharedShapes[index].get();
}
