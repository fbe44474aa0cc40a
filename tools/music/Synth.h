// Sound synthesis for the module's instruments: oscillators, envelopes,
// noise, filters, FM and plucked strings, all computed here from fixed
// seeds, so the same bytes come out on every run.
#pragma once
#include <cstdint>
#include <vector>

#include "XmModule.h"

// Sample rate of every synthesized sample: four times the tracker's base
// rate, so an unpitched sample played at C-4 with a relative note of +24
// plays back at the rate it was made.
constexpr double MUS_SAMPLE_RATE = 33452.0;

// Small deterministic generator (xorshift32).
class musNoise {
public:
    explicit musNoise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next();
    double Uniform();  // -1 .. 1
private:
    uint32_t state;
};

// Topology-preserving state-variable filter; one call per sample.
class musFilter {
public:
    void Set(double cutoffHz, double resonance);
    double Low(double x);   // and fills band and high
    double band = 0.0;
    double high = 0.0;
private:
    double g = 0.0, k = 1.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
    double ic1 = 0.0, ic2 = 0.0;
};

// Scales a signal so its highest absolute value becomes peak (0..1) of the
// 16-bit range, rounding to nearest. A silent signal stays silent.
std::vector<int16_t> musToPcm(const std::vector<double>& signal, double peak);

// Blends the end of a looped stretch into the samples before its start so
// that the jump from loop end back to loop start is continuous.
void musCrossfadeLoop(std::vector<double>& signal, size_t loopStart, size_t loopEnd, size_t fade);

// Relative note and finetune that make a sample whose fundamental is
// fundamentalHz (at MUS_SAMPLE_RATE) sound at concert pitch: note C-4 at
// 261.63 Hz, A-4 at 440 Hz.
void musTune(XmSample& sample, double fundamentalHz);

// The instruments of the show's tune.
enum musInstrument {
    MUS_KICK = 1, MUS_SNARE, MUS_HAT_CLOSED, MUS_HAT_OPEN, MUS_CRASH, MUS_IMPACT,
    MUS_RISER, MUS_BASS, MUS_PAD_WARM, MUS_PAD_AIR, MUS_PLUCK, MUS_BELL,
    MUS_DROPLET, MUS_LEAD_SOFT,
    MUS_INSTRUMENT_COUNT = MUS_LEAD_SOFT
};

// Builds every instrument, in musInstrument order (instrument n at index
// n - 1). riserSeconds is the length of the riser sweep.
std::vector<XmInstrument> musMakeInstruments(double riserSeconds);
