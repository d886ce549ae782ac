// The D3DX 8 matrix helpers the program uses, with their published
// left-handed definitions: single precision, points as row vectors, the
// product A * B applying A first.
#pragma once

#include "platform/d3d8types.h"

void D3DXMatrixIdentity(D3DMATRIX& out);
void D3DXMatrixRotationX(D3DMATRIX& out, float angle);
void D3DXMatrixRotationY(D3DMATRIX& out, float angle);
void D3DXMatrixRotationZ(D3DMATRIX& out, float angle);

// out = m1 * m2; `out` may be the same matrix as either factor.
void D3DXMatrixMultiply(D3DMATRIX& out, const D3DMATRIX& m1, const D3DMATRIX& m2);

// View matrix from `eye` towards `at` with `up` as the upward hint. When the
// eye is at the look-at point the view direction is +z; when the direction
// is parallel to `up` (or `up` is zero) another up is chosen, so the result is
// always a finite orthonormal view for finite input.
void D3DXMatrixLookAtLH(D3DMATRIX& out, const D3DVECTOR& eye, const D3DVECTOR& at,
                        const D3DVECTOR& up);

// Projection with the vertical field of view `fovy` (radians), the aspect
// ratio width / height and the near and far planes.
void D3DXMatrixPerspectiveFovLH(D3DMATRIX& out, float fovy, float aspect, float zn, float zf);

// (x, y, z, 1) * m, divided by the resulting w unless it is 0.
D3DVECTOR D3DXVec3TransformCoord(const D3DVECTOR& v, const D3DMATRIX& m);
