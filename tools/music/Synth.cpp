#include "Synth.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

size_t frames(double seconds)
{
    return static_cast<size_t>(seconds * MUS_SAMPLE_RATE + 0.5);
}

double timeOf(size_t i)
{
    return static_cast<double>(i) / MUS_SAMPLE_RATE;
}

// Short linear ramps at both ends keep one-shot samples free of clicks.
void fadeEnds(std::vector<double>& s, double attackSeconds, double releaseSeconds)
{
    size_t a = frames(attackSeconds), r = frames(releaseSeconds);
    for (size_t i = 0; i < a && i < s.size(); ++i)
        s[i] *= static_cast<double>(i) / a;
    for (size_t i = 0; i < r && i < s.size(); ++i)
        s[s.size() - 1 - i] *= static_cast<double>(i) / r;
}

// Metallic cluster of six detuned square waves, the body of hats and cymbals.
double metal(double t, double scale)
{
    static const double freq[6] = { 205.3, 304.4, 369.6, 522.7, 540.0, 800.0 };
    double sum = 0.0;
    for (double f : freq) {
        double phase = std::fmod(t * f * scale, 1.0);
        sum += phase < 0.5 ? 1.0 : -1.0;
    }
    return sum / 6.0;
}

XmInstrument oneShot(const char* name, std::vector<double> signal, double peak, double fundamentalHz)
{
    XmInstrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = musToPcm(signal, peak);
    musTune(ins.sample, fundamentalHz);
    return ins;
}

// Unpitched sounds play at the rate they were made when struck at C-4.
constexpr double kNative = 261.6255653005986;

XmInstrument makeKick()
{
    std::vector<double> s(frames(0.5));
    musNoise noise(11);
    musFilter click;
    click.Set(4000.0, 0.7);
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double f = 46.0 + 120.0 * std::exp(-t / 0.035);
        phase += kTwoPi * f / MUS_SAMPLE_RATE;
        double body = std::sin(phase) * std::exp(-t / 0.28);
        double c = click.Low(noise.Uniform()) * std::exp(-t / 0.003) * 0.6;
        s[i] = std::tanh(1.8 * (body + c));
    }
    fadeEnds(s, 0.0005, 0.02);
    return oneShot("kick", s, 0.95, kNative);
}

XmInstrument makeSnare()
{
    std::vector<double> s(frames(0.4));
    musNoise noise(23);
    musFilter hp, bp;
    hp.Set(1400.0, 0.7);
    bp.Set(5200.0, 1.2);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double body = (std::sin(kTwoPi * 188.0 * t) + 0.5 * std::sin(kTwoPi * 331.0 * t)) * std::exp(-t / 0.05);
        double n = noise.Uniform();
        hp.Low(n);
        bp.Low(n);
        double hiss = (hp.high * 0.7 + bp.band * 0.5) * std::exp(-t / 0.12);
        s[i] = std::tanh(2.2 * (0.55 * body + 0.8 * hiss));
    }
    fadeEnds(s, 0.0005, 0.03);
    return oneShot("snare", s, 0.95, kNative);
}

XmInstrument makeHat(bool open)
{
    double length = open ? 0.6 : 0.12;
    double decay = open ? 0.16 : 0.018;
    std::vector<double> s(frames(length));
    musNoise noise(open ? 37 : 31);
    musFilter hp;
    hp.Set(7000.0, 0.8);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double x = 0.6 * metal(t, 2.1) + 0.7 * noise.Uniform();
        hp.Low(x);
        s[i] = hp.high * std::exp(-t / decay);
    }
    fadeEnds(s, 0.0003, 0.01);
    return oneShot(open ? "open hat" : "closed hat", s, 0.95, kNative);
}

XmInstrument makeCrash()
{
    std::vector<double> s(frames(2.4));
    musNoise noise(41);
    musFilter hp, shimmer;
    hp.Set(3800.0, 0.7);
    shimmer.Set(9000.0, 2.0);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double x = 0.5 * metal(t, 1.47) + 0.35 * metal(t, 2.93) + 0.8 * noise.Uniform();
        hp.Low(x);
        shimmer.Low(x);
        double env = std::exp(-t / 0.7) * (0.8 + 0.2 * std::exp(-t / 0.05));
        s[i] = (hp.high + 0.4 * shimmer.band) * env;
    }
    fadeEnds(s, 0.001, 0.2);
    return oneShot("crash", s, 0.95, kNative);
}

XmInstrument makeImpact()
{
    std::vector<double> s(frames(2.0));
    musNoise noise(53);
    musFilter rumble;
    rumble.Set(700.0, 0.8);
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double f = 31.0 + 75.0 * std::exp(-t / 0.08);
        phase += kTwoPi * f / MUS_SAMPLE_RATE;
        double boom = std::sin(phase) * std::exp(-t / 0.6);
        double dust = rumble.Low(noise.Uniform()) * std::exp(-t / 0.25) * 0.9;
        s[i] = std::tanh(1.5 * (boom + dust));
    }
    fadeEnds(s, 0.001, 0.3);
    return oneShot("impact", s, 0.95, kNative);
}

// Filtered noise and a tone sweeping upwards, loudest at its very end so
// that the hit after it lands on the row the riser was timed for.
XmInstrument makeRiser(double seconds)
{
    std::vector<double> s(frames(seconds));
    musNoise noise(67);
    musFilter sweep;
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double u = static_cast<double>(i) / s.size();
        double cutoff = 250.0 * std::pow(32.0, u);
        sweep.Set(cutoff, 2.5);
        sweep.Low(noise.Uniform());
        phase += kTwoPi * (110.0 * std::pow(8.0, u)) / MUS_SAMPLE_RATE;
        s[i] = (sweep.band + 0.25 * std::sin(phase)) * u * u;
    }
    fadeEnds(s, 0.0, 0.008);
    return oneShot("riser", s, 0.9, kNative);
}

// Additive saw at an exact period of 512 frames, its brightness closing
// like a filter envelope; the last periods repeat as the sustain.
XmInstrument makeBass()
{
    const int period = 512;
    const int harmonics = 48;
    std::vector<double> table(period);
    for (int i = 0; i < period; ++i)
        table[i] = std::sin(kTwoPi * i / period);
    std::vector<double> s(period * 34);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double cut = 3.0 + 10.0 * std::exp(-t / 0.09);
        double v = 0.0;
        for (int h = 1; h <= harmonics; ++h) {
            double ratio = h / cut;
            double a = (h == 1 ? 1.6 : 1.0 / h) / (1.0 + ratio * ratio * ratio * ratio);
            v += a * table[(static_cast<size_t>(h) * i) % period];
        }
        double env = i < 64 ? i / 64.0 : 1.0;
        s[i] = std::tanh(0.9 * v) * env;
    }
    XmInstrument ins = oneShot("bass", s, 0.95, MUS_SAMPLE_RATE / period);
    ins.sample.loopStart = static_cast<uint32_t>(s.size() - 4 * period);
    ins.sample.loopLength = 4 * period;
    ins.volumeEnvelope.points = { { 0, 64 }, { 10, 50 } };
    ins.volumeEnvelope.sustain = 1;
    ins.fadeout = 3000;
    return ins;
}

// Four detuned band-limited saws, softened towards the top: a warm pad.
XmInstrument makePadWarm()
{
    const double f0 = kNative;
    const double detune[4] = { -9.0, -3.0, 4.0, 10.0 };
    musNoise noise(79);
    double phases[4][24];
    for (auto& voice : phases)
        for (double& p : voice)
            p = (noise.Uniform() + 1.0) * kPi;
    std::vector<double> s(frames(2.6));
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double v = 0.0;
        for (int d = 0; d < 4; ++d) {
            double f = f0 * std::pow(2.0, detune[d] / 1200.0);
            for (int h = 1; h <= 24; ++h) {
                double ratio = h / 5.0;
                double a = (1.0 / h) / (1.0 + ratio * ratio);
                v += a * std::sin(kTwoPi * f * h * t + phases[d][h - 1]);
            }
        }
        s[i] = v;
    }
    size_t loopStart = frames(0.6);
    musCrossfadeLoop(s, loopStart, s.size(), frames(0.45));
    fadeEnds(s, 0.02, 0.0);
    XmInstrument ins = oneShot("warm pad", s, 0.9, f0);
    ins.sample.loopStart = static_cast<uint32_t>(loopStart);
    ins.sample.loopLength = static_cast<uint32_t>(s.size() - loopStart);
    ins.volumeEnvelope.points = { { 0, 0 }, { 20, 64 } };
    ins.volumeEnvelope.sustain = 1;
    ins.fadeout = 1200;
    return ins;
}

// Slowly beating sines with a breath of band-passed noise: the airy pad.
XmInstrument makePadAir()
{
    const double f0 = kNative;
    musNoise noise(83);
    musFilter breath;
    breath.Set(2600.0, 1.5);
    std::vector<double> s(frames(2.6));
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double v = 0.0;
        for (int d = -1; d <= 1; d += 2) {
            double f = f0 * std::pow(2.0, d * 3.5 / 1200.0);
            v += std::sin(kTwoPi * f * t) + 0.45 * std::sin(kTwoPi * 2.0 * f * t + 1.0) +
                 0.2 * std::sin(kTwoPi * 3.0 * f * t + 2.0) + 0.08 * std::sin(kTwoPi * 5.0 * f * t);
        }
        breath.Low(noise.Uniform());
        s[i] = v + 0.35 * breath.band;
    }
    size_t loopStart = frames(0.6);
    musCrossfadeLoop(s, loopStart, s.size(), frames(0.45));
    fadeEnds(s, 0.02, 0.0);
    XmInstrument ins = oneShot("air pad", s, 0.9, f0);
    ins.sample.loopStart = static_cast<uint32_t>(loopStart);
    ins.sample.loopLength = static_cast<uint32_t>(s.size() - loopStart);
    ins.volumeEnvelope.points = { { 0, 0 }, { 32, 64 } };
    ins.volumeEnvelope.sustain = 1;
    ins.fadeout = 700;
    return ins;
}

// Plucked string: a burst of softened noise circulating in a delay line
// whose averaging loses a little of the highs on every pass.
XmInstrument makePluck()
{
    const int delay = 64;
    musNoise noise(97);
    std::vector<double> line(delay + 1);
    double mean = 0.0, smooth = 0.0;
    for (int i = 0; i <= delay; ++i) {
        smooth += 0.55 * (noise.Uniform() - smooth);
        line[i] = smooth;
        mean += smooth;
    }
    mean /= delay + 1;
    for (double& v : line)
        v -= mean;
    // The averaging adds half a frame to the loop: delay + 0.5 per period.
    const double f0 = MUS_SAMPLE_RATE / (delay + 0.5);
    double top = 0.0;
    for (double v : line)
        top = std::fmax(top, std::fabs(v));
    std::vector<double> s(frames(1.4));
    for (size_t i = 0; i < s.size(); ++i) {
        size_t k = i % (delay + 1);
        double out = line[k];
        double next = line[(k + 1) % (delay + 1)];
        line[k] = 0.5 * (out + next) * 0.998;
        // A rounder body under the string carries the note after the attack.
        double t = timeOf(i);
        double body = top * (std::sin(kTwoPi * f0 * t) + 0.3 * std::sin(2.0 * kTwoPi * f0 * t)) *
                      std::exp(-t / 0.45) * std::fmin(1.0, t / 0.004);
        s[i] = std::tanh(1.6 * (out + 0.45 * body) / top);
    }
    fadeEnds(s, 0.0003, 0.1);
    return oneShot("pluck", s, 0.95, f0);
}

// Two-operator FM bell with a high inharmonic ting on the strike.
XmInstrument makeBell()
{
    const double fc = 523.2511306011972;
    std::vector<double> s(frames(2.6));
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double index = 2.8 * std::exp(-t / 0.25) + 0.4;
        double tone = std::sin(kTwoPi * fc * t + index * std::sin(kTwoPi * 3.5 * fc * t)) * std::exp(-t / 0.9);
        double ting = 0.25 * std::sin(kTwoPi * 4.07 * fc * t) * std::exp(-t / 0.18);
        s[i] = tone + ting;
    }
    fadeEnds(s, 0.0005, 0.1);
    return oneShot("bell", s, 0.95, fc);
}

// A water drop: a sine that slides up into its pitch and dies quickly.
XmInstrument makeDroplet()
{
    const double f0 = 1046.5022612023945;
    std::vector<double> s(frames(0.25));
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = timeOf(i);
        double f = f0 * (1.0 - 0.22 * std::exp(-t / 0.012));
        phase += kTwoPi * f / MUS_SAMPLE_RATE;
        s[i] = (std::sin(phase) + 0.15 * std::sin(2.0 * phase)) * std::exp(-t / 0.06);
    }
    fadeEnds(s, 0.001, 0.02);
    return oneShot("droplet", s, 0.95, f0);
}

// Soft hollow lead at an exact period of 64 frames, odd harmonics first.
XmInstrument makeLeadSoft()
{
    const int period = 64;
    std::vector<double> table(period);
    for (int i = 0; i < period; ++i)
        table[i] = std::sin(kTwoPi * i / period);
    std::vector<double> s(period * 160);
    for (size_t i = 0; i < s.size(); ++i) {
        double v = 0.0;
        for (int h = 1; h <= 24; ++h) {
            double a = (h % 2 ? 1.0 : 0.2) / (static_cast<double>(h) * h);
            v += a * table[(static_cast<size_t>(h) * i) % period];
        }
        s[i] = v;
    }
    fadeEnds(s, 0.004, 0.0);
    XmInstrument ins = oneShot("soft lead", s, 0.9, MUS_SAMPLE_RATE / period);
    ins.sample.loopStart = static_cast<uint32_t>(s.size() - 32 * period);
    ins.sample.loopLength = 32 * period;
    ins.volumeEnvelope.points = { { 0, 0 }, { 3, 64 }, { 12, 54 } };
    ins.volumeEnvelope.sustain = 2;
    ins.fadeout = 2400;
    ins.vibratoType = 0;
    ins.vibratoSweep = 40;
    ins.vibratoDepth = 3;
    ins.vibratoRate = 10;
    return ins;
}

}  // namespace

uint32_t musNoise::Next()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double musNoise::Uniform()
{
    return static_cast<double>(Next()) / 2147483648.0 - 1.0;
}

void musFilter::Set(double cutoffHz, double resonance)
{
    g = std::tan(kPi * cutoffHz / MUS_SAMPLE_RATE);
    k = 1.0 / resonance;
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

double musFilter::Low(double x)
{
    double v3 = x - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    band = v1;
    high = x - k * v1 - v2;
    return v2;
}

std::vector<int16_t> musToPcm(const std::vector<double>& signal, double peak)
{
    double top = 0.0;
    for (double v : signal)
        top = std::fmax(top, std::fabs(v));
    std::vector<int16_t> out(signal.size(), 0);
    if (top == 0.0)
        return out;
    double scale = peak * 32767.0 / top;
    for (size_t i = 0; i < signal.size(); ++i) {
        double v = std::round(signal[i] * scale);
        out[i] = static_cast<int16_t>(std::fmax(-32768.0, std::fmin(32767.0, v)));
    }
    return out;
}

void musCrossfadeLoop(std::vector<double>& signal, size_t loopStart, size_t loopEnd, size_t fade)
{
    if (fade > loopStart || loopEnd > signal.size() || loopEnd < loopStart + fade)
        musFatal("musCrossfadeLoop -> fade does not fit before the loop");
    for (size_t i = 0; i < fade; ++i) {
        double u = (i + 1.0) / fade;
        size_t to = loopEnd - fade + i;
        size_t from = loopStart - fade + i;
        signal[to] = signal[to] * std::cos(u * kPi / 2) + signal[from] * std::sin(u * kPi / 2);
    }
}

void musTune(XmSample& sample, double fundamentalHz)
{
    // Semitones to add so note C-4 plays 261.63 Hz: with no transpose C-4
    // plays the sample at 8363 Hz.
    double semis = 12.0 * std::log2(440.0 * MUS_SAMPLE_RATE / (fundamentalHz * 8363.0)) - 9.0;
    long total = std::lround(semis * 128.0);
    long rel = (total + 64) >> 7;  // nearest semitone, finetune -64..63
    if (rel < -96 || rel > 95)
        musFatal("musTune -> fundamental out of the tracker's range");
    sample.relativeNote = static_cast<int8_t>(rel);
    sample.finetune = static_cast<int8_t>(total - rel * 128);
}

std::vector<XmInstrument> musMakeInstruments(double riserSeconds)
{
    std::vector<XmInstrument> all;
    all.push_back(makeKick());
    all.push_back(makeSnare());
    all.push_back(makeHat(false));
    all.push_back(makeHat(true));
    all.push_back(makeCrash());
    all.push_back(makeImpact());
    all.push_back(makeRiser(riserSeconds));
    all.push_back(makeBass());
    all.push_back(makePadWarm());
    all.push_back(makePadAir());
    all.push_back(makePluck());
    all.push_back(makeBell());
    all.push_back(makeDroplet());
    all.push_back(makeLeadSoft());
    return all;
}
