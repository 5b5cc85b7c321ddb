// Writes a large, deterministic photovoltaic measurement log for the
// whole-program benchmark: a header, then one line a second, day after day
// (time hhmmss; power in W; DC voltage in V; current in A; "." decimals;
// CR LF line ends). Days differ in length and weather; the noise comes from a
// fixed seed, so every run writes the same bytes.
//
// Usage: make_bench_log LINES OUTPUT
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::int64_t seconds_per_day = 86400;
constexpr double pi = 3.14159265358979323846;
constexpr double peak_power = 9600.0;
constexpr std::size_t flush_size = 1 << 20;

// xorshift64*: tiny, fast, and the same sequence on every machine.
class Noise {
 public:
  explicit Noise(std::uint64_t seed) noexcept : state_(seed) {}

  // A value in [0, 1).
  double next() noexcept {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<double>((state_ * 0x2545F4914F6CDD1DULL) >> 11) * 0x1.0p-53;
  }

  double between(double low, double high) noexcept { return low + (high - low) * next(); }

 private:
  std::uint64_t state_;
};

// The sun's course and the weather of one day: days shorten from midsummer
// on, and each day has its own share of clear sky.
struct Day {
  double sunrise;
  double sunset;
  double clear_sky;

  static Day number(std::int64_t day, Noise& noise) noexcept {
    const double half_length = 8.0 * 3600.0 - 3.0 * 3600.0 * std::sin(pi * static_cast<double>(day % 365) / 365.0);
    const double noon = 13.0 * 3600.0 + 300.0;
    return {noon - half_length, noon + half_length, noise.between(0.35, 1.0)};
  }
};

class LogWriter {
 public:
  explicit LogWriter(std::FILE* file) noexcept : file_(file) { buffer_.reserve(flush_size + 64); }

  void line(std::int64_t second, double power, double voltage, double current) {
    char text[64];
    const long clock = static_cast<long>(second / 3600 * 10000 + second / 60 % 60 * 100 + second % 60);
    const int length = std::snprintf(text, sizeof text, "%06ld;%.1f;%.1f;%.2f\r\n", clock, power, voltage, current);
    buffer_.append(text, static_cast<std::size_t>(length));
    if (buffer_.size() >= flush_size) flush();
  }

  void text(const char* bytes) { buffer_.append(bytes); }

  void flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
    buffer_.clear();
  }

  [[nodiscard]] bool failed() const noexcept { return failed_; }

 private:
  std::FILE* file_;
  std::string buffer_;
  bool failed_ = false;
};

void write_log(std::int64_t lines, LogWriter& out) {
  Noise noise(0x5EED2026ULL);
  out.text("Zeit;Leistung_W;Spannung_V;Strom_A\r\n");
  Day day = Day::number(0, noise);
  double cloud = 1.0;
  for (std::int64_t n = 0; n < lines; ++n) {
    const std::int64_t second = n % seconds_per_day;
    if (second == 0 && n > 0) day = Day::number(n / seconds_per_day, noise);
    const auto now = static_cast<double>(second);
    if (now <= day.sunrise || now >= day.sunset) {
      out.line(second, 0.0, 0.0, 0.0);
      continue;
    }
    const double sun_height = std::sin(pi * (now - day.sunrise) / (day.sunset - day.sunrise));
    // Clouds drift around the day's clear-sky share and pass in minutes.
    cloud += 0.004 * (day.clear_sky - cloud) + noise.between(-0.02, 0.02);
    cloud = std::fmin(1.0, std::fmax(0.2, cloud));
    const double power = peak_power * std::pow(sun_height, 1.3) * cloud;
    const double voltage = 548.0 + 96.0 * std::pow(sun_height, 0.25) + noise.between(-1.5, 1.5);
    out.line(second, power, voltage, power / voltage);
  }
  out.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s LINES OUTPUT\n", argv[0]);
    return 2;
  }
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  LogWriter out(file);
  write_log(std::strtoll(argv[1], nullptr, 10), out);
  const bool closed = std::fclose(file) == 0;
  if (out.failed() || !closed) {
    std::fprintf(stderr, "%s: write failed\n", argv[2]);
    return 1;
  }
  return 0;
}
