#include "platform/d3dx8_math.h"

#include <cmath>

#include "math/matrix.h"

namespace {

// Vector arithmetic for the look-at matrix is carried in double and rounded
// once when stored: a tiny or huge (but finite) direction then neither
// underflows to a false "zero vector" nor overflows while being normalized.
struct Vec {
  double x, y, z;
};

Vec ToVec(const D3DVECTOR& v) { return {v.x, v.y, v.z}; }
Vec Sub(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(const Vec& u, const Vec& v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}
double Dot(const Vec& u, const Vec& v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

// Normalizes `v`; false (and `v` untouched) for a zero or non-finite length.
bool Normalize(Vec& v) {
  const double len = std::sqrt(Dot(v, v));
  if (!(len > 0.0) || !std::isfinite(len)) return false;
  v = {v.x / len, v.y / len, v.z / len};
  return true;
}

// The unit vector perpendicular to `za` nearest to the basis axis least
// aligned with it: a stand-in right vector when up x za vanishes.
Vec AnyPerpendicular(const Vec& za) {
  const double ax = std::fabs(za.x), ay = std::fabs(za.y), az = std::fabs(za.z);
  Vec axis{0, 0, 0};
  if (ax <= ay && ax <= az)
    axis.x = 1;
  else if (ay <= az)
    axis.y = 1;
  else
    axis.z = 1;
  const double d = Dot(axis, za);
  Vec p{axis.x - d * za.x, axis.y - d * za.y, axis.z - d * za.z};
  if (!Normalize(p)) p = {1, 0, 0};
  return p;
}

void SetRows(D3DMATRIX& out, float a11, float a12, float a13, float a14, float a21, float a22,
             float a23, float a24, float a31, float a32, float a33, float a34, float a41,
             float a42, float a43, float a44) {
  out = D3DMATRIX{{{a11, a12, a13, a14}, {a21, a22, a23, a24}, {a31, a32, a33, a34},
                   {a41, a42, a43, a44}}};
}

}  // namespace

void D3DXMatrixIdentity(D3DMATRIX& out) {
  SetRows(out, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

void D3DXMatrixRotationX(D3DMATRIX& out, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  SetRows(out, 1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
}

void D3DXMatrixRotationY(D3DMATRIX& out, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  SetRows(out, c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
}

void D3DXMatrixRotationZ(D3DMATRIX& out, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  SetRows(out, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

void D3DXMatrixMultiply(D3DMATRIX& out, const D3DMATRIX& m1, const D3DMATRIX& m2) {
  // The product is built aside, so `out` may alias either factor.
  out = MatrixMultiply(m1, m2);
}

void D3DXMatrixLookAtLH(D3DMATRIX& out, const D3DVECTOR& eye, const D3DVECTOR& at,
                        const D3DVECTOR& up) {
  const Vec e = ToVec(eye);
  Vec za = Sub(ToVec(at), e);
  if (!Normalize(za)) za = {0, 0, 1};
  Vec xa = Cross(ToVec(up), za);
  if (!Normalize(xa)) xa = AnyPerpendicular(za);
  const Vec ya = Cross(za, xa);
  auto f = [](double v) { return static_cast<float>(v); };
  SetRows(out, f(xa.x), f(ya.x), f(za.x), 0,  //
          f(xa.y), f(ya.y), f(za.y), 0,       //
          f(xa.z), f(ya.z), f(za.z), 0,       //
          f(-Dot(xa, e)), f(-Dot(ya, e)), f(-Dot(za, e)), 1);
}

void D3DXMatrixPerspectiveFovLH(D3DMATRIX& out, float fovy, float aspect, float zn, float zf) {
  const float h = 1.0f / std::tan(fovy / 2.0f);
  const float w = h / aspect;
  const float q = zf / (zf - zn);
  SetRows(out, w, 0, 0, 0, 0, h, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
}

D3DVECTOR D3DXVec3TransformCoord(const D3DVECTOR& v, const D3DMATRIX& m) {
  float r[4];
  for (int j = 0; j < 4; ++j) r[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j] + m.m[3][j];
  if (r[3] != 0.0f) return {r[0] / r[3], r[1] / r[3], r[2] / r[3]};
  return {r[0], r[1], r[2]};
}
