#pragma once

#include <vector>

namespace vantrel {

constexpr int kFilterTaps = 501;     // taps per phase; the centre tap is number 250
constexpr int kFilterPhases = 16;    // sub-sample positions, 1/16 of a sample apart
constexpr int kWindowPeriod = 400;   // period of the Blackman window, in taps
constexpr double kPrefilterHz = 200.0;

// Windowed-sinc low-pass of kFilterTaps taps with cut-off `cutoff` (a fraction of the
// sampling rate, 0.5 = Nyquist), its centre delayed by `fraction` of a sample (0..1).
// The Blackman window of period kWindowPeriod is evaluated at the delayed tap
// position itself, not centred on the sinc. Taps are floats scaled to unit gain at
// zero frequency.
std::vector<float> designLowPass(double cutoff, double fraction);

// The polyphase filter the resampler runs: one kFilterTaps-tap filter per phase k,
// phase k being delayed by k / 16 of a source sample. The cut-off is half the output
// rate when the source rate is higher, else the source's own Nyquist frequency.
// With the prefilter each phase becomes a band-pass whose lower edge is 200 Hz
// (the difference of two low-pass designs). The boost, when on, scales every
// coefficient by boostPercent / 100, so it acts before quantisation.
class SincFilterBank {
 public:
  SincFilterBank(int sourceRate, int outputRate, bool prefilter, bool boostOn,
                 int boostPercent);

  // The kFilterTaps coefficients of phase (0..15).
  const float* phase(int phase) const { return coefficients.data() + phase * kFilterTaps; }

 private:
  std::vector<float> coefficients;  // kFilterPhases rows of kFilterTaps
};

}  // namespace vantrel
