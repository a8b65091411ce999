// Tessellated solids shared by the ring markers and node overlays: a sphere, a torus and a thin
// tapered rod, precomputed in bands and drawn as quad strips at a uniform scale.
#pragma once

#include <vector>

/// A solid made of `bands` quad strips of `slices` + 1 vertex pairs each.
class MeshShape {
 public:
  /// One vertex: position, normal and two spare values (0 and 1).
  struct Vertex {
    double position[3];
    double normal[3];
    double spare[2];
  };
  /// One step along a strip: the first and the second vertex of the pair.
  struct Pair {
    Vertex first;
    Vertex second;
  };
  /// Receives a shape's strips in draw order.
  class StripSink {
   public:
    virtual ~StripSink() = default;
    virtual void beginStrip() = 0;
    virtual void vertex(const double normal[3], const double position[3]) = 0;
    virtual void endStrip() = 0;
  };

  virtual ~MeshShape() = default;
  /// Draws every strip with positions multiplied by scale (needs a current context).
  virtual void drawScaled(double scale);
  /// Sends every strip to sink as drawScaled draws it, positions multiplied by scale.
  void emitScaled(double scale, StripSink& sink) const;
  int bands() const { return bands_; }
  int slices() const { return slices_; }
  int flag() const { return flag_; }
  double param() const { return param_; }
  double scale() const { return scale_; }
  /// Strip b (0 .. bands-1): slices + 1 pairs.
  const std::vector<Pair>& strip(int b) const { return strips_[b]; }

 protected:
  /// Strips are made by the kinds; a count below 1 gives a shape without strips.
  MeshShape(int bands, int slices, int flag, double param);
  /// Whether each pair is emitted second vertex first.
  virtual bool secondVertexFirst() const { return false; }
  int bands_;
  int slices_;
  int flag_;
  double param_;
  double scale_ = 1.0;
  std::vector<std::vector<Pair>> strips_;
};

/// Unit sphere (radius 1).
class SphereShape : public MeshShape {
 public:
  SphereShape(int bands, int slices, double radius = 1.0);
};

/// Torus of ring radius 1 and tube radius 0.1; draws each pair second vertex first.
class TorusShape : public MeshShape {
 public:
  TorusShape(int bands, int slices, double ringRadius = 1.0, double tubeRadius = 0.1);
  void drawScaled(double scale) override;

 protected:
  bool secondVertexFirst() const override { return true; }
};

/// Rod of length 1 from radius topRadius at height 1 down to bottomRadius at height 0.
class RodShape : public MeshShape {
 public:
  RodShape(int bands, int slices, double topRadius, double bottomRadius, double length = 1.0);
};

/// Index of each shared shape.
enum SharedShapeIndex { kSharedSphere = 0, kSharedTorus = 1, kSharedRod = 2, kSharedShapeCount };

/// Creates the three shared shapes when not yet created: sphere 5x10, torus 20x10, rod 3x10.
void createSharedShapes();
/// Shared shape i, or null before createSharedShapes.
MeshShape* sharedShape(int index);
