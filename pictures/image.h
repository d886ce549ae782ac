// Pictures of frames: conversion from back-buffer formats, PNG and binary PPM
// files, and exact comparison with a readable difference image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display_host.h"

// Top-down pixels as 0x00RRGGBB.
struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

// Converts a frame in any colour format with a pixel layout (every back-buffer
// format among them) to an Image, narrow channels widened by bit replication;
// an empty Image for any other format.
Image ImageFromFrame(const FrameView& frame);

// Writes PNG (".png") or binary PPM (".ppm"), chosen by the path's extension.
// Returns false and sets `error` when the file cannot be written.
bool WriteImage(const std::string& path, const Image& image, std::string* error);
bool WritePng(const std::string& path, const Image& image, std::string* error);
bool WritePpm(const std::string& path, const Image& image, std::string* error);
bool ReadPng(const std::string& path, Image& image, std::string* error);

// Number of differing pixels.
std::int64_t CompareImages(const Image& a, const Image& b);
