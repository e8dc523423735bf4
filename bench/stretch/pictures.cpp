// The benchmark's pictures and its reference: the exact area average in
// double precision, written apart from the layer's integer code.
#include "pictures.h"

#include <algorithm>
#include <cmath>

namespace {

std::uint32_t Grey(int value) {
  const auto v = static_cast<std::uint32_t>(value);
  return v | v << 8 | v << 16;
}

// For each destination position along an axis of n source pixels reduced to
// d: the first source pixel it covers and the share of each covered pixel.
struct Shares {
  std::vector<int> first;
  std::vector<std::vector<double>> share;
};

Shares AxisShares(int n, int d) {
  Shares shares;
  for (int k = 0; k < d; ++k) {
    const double low = static_cast<double>(k) * n / d;
    const double high = static_cast<double>(k + 1) * n / d;
    const int first = static_cast<int>(std::floor(low));
    const int last = std::min(n, static_cast<int>(std::ceil(high)));
    std::vector<double> row;
    for (int i = first; i < last; ++i)
      row.push_back((std::min<double>(high, i + 1) - std::max<double>(low, i)) / (high - low));
    shares.first.push_back(first);
    shares.share.push_back(row);
  }
  return shares;
}

// One source row reduced across: three channel means per destination column.
void ReduceAcross(const Picture& picture, int y, const Shares& across, std::vector<double>& out) {
  const std::uint32_t* row = picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
  for (std::size_t k = 0; k < across.first.size(); ++k) {
    double sums[3] = {0, 0, 0};
    for (std::size_t i = 0; i < across.share[k].size(); ++i) {
      const std::uint32_t pixel = row[across.first[k] + static_cast<int>(i)];
      for (int c = 0; c < 3; ++c) sums[c] += across.share[k][i] * (pixel >> (8 * c) & 0xFF);
    }
    for (int c = 0; c < 3; ++c) out[3 * k + static_cast<std::size_t>(c)] = sums[c];
  }
}

}  // namespace

Picture ZonePlate(int size) {
  Picture picture{"zone plate", size, size,
                  std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double dx = x - size / 2.0 + 0.5, dy = y - size / 2.0 + 0.5;
      const double value = 127.5 + 127.5 * std::cos(M_PI * (dx * dx + dy * dy) / size);
      picture.pixels[static_cast<std::size_t>(y) * size + x] = Grey(static_cast<int>(std::lround(value)));
    }
  }
  return picture;
}

Picture Grid(int size) {
  Picture picture{"grid 1/7", size, size, std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x)
      picture.pixels[static_cast<std::size_t>(y) * size + x] = x % 7 == 0 || y % 7 == 0 ? 0 : 0x00FFFFFF;
  }
  return picture;
}

Picture NoisyGradients(int size) {
  Picture picture{"noise", size, size, std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size)};
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int base[3] = {x * 255 / size, y * 255 / size, (x + y) * 255 / (2 * size)};
      std::uint32_t colour = 0;
      for (int c = 0; c < 3; ++c) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;  // xorshift64
        const int value = std::clamp(base[c] + static_cast<int>(state % 97) - 48, 0, 255);
        colour |= static_cast<std::uint32_t>(value) << (8 * c);
      }
      picture.pixels[static_cast<std::size_t>(y) * size + x] = colour;
    }
  }
  return picture;
}

std::vector<double> PsnrAgainstExact(const Picture& picture, int width, int height,
                                     const std::vector<const std::vector<std::uint32_t>*>& candidates) {
  const Shares across = AxisShares(picture.width, width);
  const Shares down = AxisShares(picture.height, height);
  std::vector<double> reduced(3 * static_cast<std::size_t>(width)), exact(reduced.size());
  std::vector<double> squares(candidates.size(), 0.0);
  for (int j = 0; j < height; ++j) {
    std::fill(exact.begin(), exact.end(), 0.0);
    for (std::size_t i = 0; i < down.share[j].size(); ++i) {
      ReduceAcross(picture, down.first[j] + static_cast<int>(i), across, reduced);
      for (std::size_t v = 0; v < exact.size(); ++v) exact[v] += down.share[j][i] * reduced[v];
    }
    for (std::size_t c = 0; c < candidates.size(); ++c) {
      const std::uint32_t* row = candidates[c]->data() + static_cast<std::size_t>(j) * width;
      for (std::size_t v = 0; v < exact.size(); ++v) {
        const double error = exact[v] - (row[v / 3] >> (8 * (v % 3)) & 0xFF);
        squares[c] += error * error;
      }
    }
  }
  std::vector<double> psnr;
  for (double sum : squares) {
    const double mse = sum / (3.0 * width * height);
    psnr.push_back(mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse));
  }
  return psnr;
}
