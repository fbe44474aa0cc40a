// The composed tune as the show plays it: both players read it the same
// way, it lasts as long as the show, it only moves forward, it is the same
// on every run, and its accents land where the pictures react.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <libopenmpt/libopenmpt.hpp>
#include <xmp.h>

#include "parts/Cues.h"

#include "MusicRender.h"
#include "Score.h"
#include "Synth.h"
#include "tests/common/Scratch.h"

namespace {

const std::vector<uint8_t>& tune()
{
    static const std::vector<uint8_t> bytes = xmWrite(musComposeModule());
    return bytes;
}

struct Xmp {
    Xmp() : ctx(xmp_create_context()) {}
    ~Xmp() { xmp_free_context(ctx); }
    xmp_context ctx;
};

// Every row on which a picture of the show reacts to the music.
std::vector<xCue> showCues()
{
    std::vector<xCue> cues;
    auto add = [&](int order, std::initializer_list<int> rows) {
        for (int r : rows)
            cues.push_back({ order, r });
    };
    // Circles of the opening and their return, and their bursts in order 9.
    for (int order = 0; order < MUS_ORDERS; ++order)
        for (int r = 0; r < MUS_ROWS; ++r)
            if (cueCircleRow(order, r))
                cues.push_back({ order, r });
    // Logo letters every fourth row.
    for (int order = 4; order <= 8; ++order)
        for (int r = 0; r < 64; r += 4)
            cues.push_back({ order, r });
    for (int order : kLinesZoomOrders)
        for (int r : kLinesZoomRows)
            cues.push_back({ order, r });
    for (int order = CUE_GREETINGS; order < CUE_CREDITS1; ++order)
        for (int r : kGreetFlashRows)
            cues.push_back({ order, r });
    for (xCue c : { kGreetQuestion1, kGreetQuestion2, kGreetTwoMissing, kGreetGuessWho })
        cues.push_back(c);
    for (int order : kCreditsStepOrders)
        for (int r : kCreditsStepRows)
            cues.push_back({ order, r });
    cues.push_back(kCreditsWhite);
    add(3, { 9 });
    add(5, { 0, 1, 2, 3, 4, 5, 6, 32 });  // the picture shakes on rows 0-6
    add(6, { 0, 1, 2, 3, 4, 5, 6, 32 });
    add(12, { 31, 56 });
    add(15, { 31, 35 });
    add(16, { 58 });
    add(27, { 41 });
    add(29, { 57 });
    add(35, { 51 });
    add(37, { 46 });
    return cues;
}

double energy(const MusicAudio& a, double from, double to)
{
    MusicLevel l = musicLevel(a, from, to);
    return l.rms * l.rms;
}

double db(double v)
{
    return 20.0 * std::log10(v + 1e-12);
}

// One note of the instrument on the first row of a one-pattern module.
MusicAudio renderNote(const XmInstrument& instrument, int note, int volume)
{
    XmModule m;
    m.channels = 2;
    m.bpm = 125;
    m.orders = { 0 };
    XmPattern p;
    p.cells.resize(64 * 2);
    p.cells[0] = { static_cast<uint8_t>(note), 1, static_cast<uint8_t>(volume), 0, 0 };
    m.patterns = { p };
    m.instruments = { instrument };
    return musicRender(xmWrite(m));
}

}  // namespace

TEST(MusicModule, BothPlayersAgreeOnOrdersAndLength)
{
    openmpt::module mpt(tune());
    EXPECT_EQ(mpt.get_num_orders(), 40);
    EXPECT_GE(mpt.get_num_channels(), 8);
    for (int o = 0; o < mpt.get_num_orders(); ++o)
        EXPECT_EQ(mpt.get_pattern_num_rows(mpt.get_order_pattern(o)), 64) << "order " << o;

    Xmp xmp;
    ASSERT_EQ(xmp_load_module_from_memory(xmp.ctx, tune().data(), static_cast<long>(tune().size())), 0);
    xmp_module_info info;
    xmp_get_module_info(xmp.ctx, &info);
    EXPECT_EQ(info.mod->len, 40);
    EXPECT_EQ(info.mod->chn, mpt.get_num_channels());
    ASSERT_GE(info.num_sequences, 1);
    double xmpSeconds = info.seq_data[0].duration / 1000.0;
    double mptSeconds = mpt.get_duration_seconds();
    EXPECT_NEAR(xmpSeconds, mptSeconds, mptSeconds * 0.01);
    xmp_release_module(xmp.ctx);
}

TEST(MusicModule, ShowEndsBetweenFourAndFiveMinutesAtAnEvenTempo)
{
    double end = musicTimeAt(tune(), 38, 41);
    EXPECT_GE(end, 240.0);
    EXPECT_LE(end, 300.0);
    // The fade after the mute needs the rest of order 38 at the same pace.
    double rowSeconds = end / (38 * 64 + 41);
    double rest = musicTimeAt(tune(), 39, 0) - end;
    EXPECT_GE(rest, 2.0);
    EXPECT_NEAR(rest, 23 * rowSeconds, 1e-3);
    for (int order : { 1, 13, 26, 37 })
        EXPECT_NEAR(musicTimeAt(tune(), order, 0), order * 64 * rowSeconds, 1e-3) << "order " << order;
}

TEST(MusicModule, PositionOnlyMovesForward)
{
    // No position jump, pattern break, pattern loop or pattern delay in any
    // cell, as the second player reads them...
    Xmp xmp;
    ASSERT_EQ(xmp_load_module_from_memory(xmp.ctx, tune().data(), static_cast<long>(tune().size())), 0);
    xmp_module_info info;
    xmp_get_module_info(xmp.ctx, &info);
    int checked = 0;
    for (int o = 0; o < info.mod->len; ++o)
        for (int ch = 0, p = info.mod->xxo[o]; ch < info.mod->chn; ++ch) {
            const xmp_track* track = info.mod->xxt[info.mod->xxp[p]->index[ch]];
            for (int r = 0; r < track->rows; ++r) {
                const xmp_event& e = track->event[r];
                for (auto fx : { std::make_pair(e.fxt, e.fxp), std::make_pair(e.f2t, e.f2p) }) {
                    EXPECT_NE(fx.first, 0x0B) << "jump in pattern " << p << " row " << r;
                    EXPECT_NE(fx.first, 0x0D) << "break in pattern " << p << " row " << r;
                    bool loopOrDelay = fx.first == 0x0E && ((fx.second >> 4) == 0x6 || (fx.second >> 4) == 0xE);
                    EXPECT_FALSE(loopOrDelay) << "pattern " << p << " row " << r;
                    EXPECT_FALSE(fx.first == 0x0F && fx.second == 0) << "stop in pattern " << p;
                }
                ++checked;
            }
        }
    EXPECT_EQ(checked, 40 * 64 * info.mod->chn);
    xmp_release_module(xmp.ctx);

    // ...and as played: every order once, in sequence, every row in turn.
    // The player reports the restart position while it renders the last
    // fraction of a second after the final row.
    openmpt::module mpt(tune());
    std::vector<float> l(441), r(441);
    std::vector<std::pair<int, int>> positions;
    while (mpt.read(44100, l.size(), l.data(), r.data()))
        positions.push_back({ mpt.get_current_order(), mpt.get_current_row() });
    while (!positions.empty() && positions.back() == std::make_pair(0, 0))
        positions.pop_back();
    ASSERT_GT(positions.size(), 2u);
    int lastOrder = 0, lastRow = 0, ordersSeen = 1;
    for (auto [order, row] : positions) {
        ASSERT_TRUE(order > lastOrder || (order == lastOrder && row >= lastRow)) << order << "/" << row;
        ASSERT_TRUE(order == lastOrder || order == lastOrder + 1) << order;
        if (order != lastOrder)
            ++ordersSeen;
        lastOrder = order;
        lastRow = row;
    }
    EXPECT_EQ(ordersSeen, 40);
    EXPECT_EQ(lastOrder, 39);
}

TEST(MusicModule, SameBytesOnEveryRun)
{
    EXPECT_EQ(xmWrite(musComposeModule()), tune());

    std::string a = scratchFile("a.xm"), b = scratchFile("b.xm");
    const std::string compose = std::string("'") + QH_COMPOSE + "' ";
    ASSERT_EQ(std::system((compose + "'" + a + "'").c_str()), 0);
    ASSERT_EQ(std::system((compose + "'" + b + "'").c_str()), 0);
    std::string first = readWholeFile(a);
    EXPECT_EQ(first, readWholeFile(b));
    EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.end()), tune());
    EXPECT_NE(std::system((compose + "/nonexistent-folder/x.xm 2>/dev/null").c_str()), 0);
}

TEST(MusicModule, InstrumentsPlayInTune)
{
    // Each pitched instrument alone, struck at a known note: the strongest
    // frequency near the note's pitch must be within a few cents of it.
    std::vector<XmInstrument> all = musMakeInstruments(1.0);
    struct Case { int instrument; int midi; };
    const Case cases[] = { { MUS_BASS, 45 }, { MUS_PAD_WARM, 69 }, { MUS_PAD_AIR, 69 },
                           { MUS_PLUCK, 69 }, { MUS_LEAD_SOFT, 69 }, { MUS_DROPLET, 93 } };
    for (const Case& c : cases) {
        XmInstrument steady = all[c.instrument - 1];
        steady.vibratoDepth = 0;
        MusicAudio a = renderNote(steady, musTrackerNote(c.midi), 0x50);
        double target = 440.0 * std::pow(2.0, (c.midi - 69) / 12.0);
        size_t from = MUSIC_RATE / 10, to = c.instrument == MUS_DROPLET ? MUSIC_RATE / 4 : MUSIC_RATE;
        double best = 0.0, bestCents = 0.0;
        for (double cents = -60.0; cents <= 60.0; cents += 0.5) {
            double f = target * std::pow(2.0, cents / 1200.0);
            double re = 0.0, im = 0.0;
            for (size_t i = from; i < to; ++i) {
                double w = 2.0 * M_PI * f * i / MUSIC_RATE;
                re += a.left[i] * std::cos(w);
                im += a.left[i] * std::sin(w);
            }
            double mag = re * re + im * im;
            if (mag > best) {
                best = mag;
                bestCents = cents;
            }
        }
        EXPECT_NEAR(bestCents, 0.0, 5.0) << all[c.instrument - 1].name;
    }
}

TEST(MusicModule, LoopedInstrumentsSustainWithoutClicks)
{
    // A held note runs through its loop many times in seven seconds. A loop
    // that does not join would jump: a second difference far above the
    // waveform's own. It must also keep sounding.
    std::vector<XmInstrument> all = musMakeInstruments(1.0);
    for (int ins : { MUS_BASS, MUS_PAD_WARM, MUS_PAD_AIR, MUS_LEAD_SOFT }) {
        ASSERT_GT(all[ins - 1].sample.loopLength, 0u);
        MusicAudio a = renderNote(all[ins - 1], 49, 0x40);
        ASSERT_GT(a.Seconds(), 7.0);
        double worst = 0.0, sum = 0.0;
        size_t from = MUSIC_RATE / 2, to = 7 * MUSIC_RATE;
        for (size_t i = from; i + 2 < to; ++i) {
            double d = std::fabs(a.left[i + 2] - 2.0 * a.left[i + 1] + a.left[i]);
            worst = std::max(worst, d);
            sum += d;
        }
        EXPECT_LT(worst, 20.0 * sum / (to - from)) << all[ins - 1].name;
        double early = musicLevel(a, 1.0, 2.0).rms, late = musicLevel(a, 6.0, 7.0).rms;
        EXPECT_GT(late, 0.5 * early) << all[ins - 1].name;
    }
}

TEST(MusicModule, AccentsLandOnTheShowsRows)
{
    // Each channel alone: a cue is heard when some channel starts a sound
    // there, at least four times the energy of the moment before. The hats
    // keep time on every other row and prove nothing, so they are left out.
    openmpt::module mpt(tune());
    std::vector<std::string> names = mpt.get_instrument_names();
    std::vector<MusicAudio> solo;
    for (int ch = 0; ch < mpt.get_num_channels(); ++ch) {
        bool hatsOnly = true, used = false;
        for (int o = 0; o < mpt.get_num_orders(); ++o)
            for (int row = 0; row < 64; ++row) {
                int ins = mpt.get_pattern_row_channel_command(mpt.get_order_pattern(o), row, ch,
                                                              openmpt::module::command_instrument);
                if (ins > 0) {
                    used = true;
                    hatsOnly = hatsOnly && names[ins - 1].find("hat") != std::string::npos;
                }
            }
        if (used && !hatsOnly)
            solo.push_back(musicRender(tune(), { ch }));
    }
    ASSERT_GE(solo.size(), 8u);
    const double w = 0.03;
    int heard = 0;
    std::vector<xCue> cues = showCues();
    for (const xCue& c : cues) {
        double t = solo[0].TimeAt(c.order, c.row);
        double bestRatio = 0.0;
        for (const MusicAudio& a : solo) {
            // The rendered row start is known to a millisecond.
            double before = energy(a, t - w - 0.002, t - 0.002), after = energy(a, t - 0.002, t + w);
            if (after > 1e-6)
                bestRatio = std::max(bestRatio, after / (before + 1e-9));
        }
        EXPECT_GE(bestRatio, 4.0) << "no accent at order " << c.order << " row " << c.row;
        heard += bestRatio >= 4.0;
    }
    EXPECT_EQ(heard, static_cast<int>(cues.size()));
}

TEST(MusicModule, MixLevelsFollowTheShow)
{
    MusicAudio a = musicRender(tune());
    MusicLevel all = musicLevel(a, 0.0, a.Seconds());
    EXPECT_LT(all.peak, 0.9);  // headroom: never near clipping
    auto orderDb = [&](int first, int last) {
        return db(musicLevel(a, a.TimeAt(first, 0), a.TimeAt(last + 1, 0)).rms);
    };
    double opening = orderDb(0, 0), driving = orderDb(13, 16), lift = orderDb(34, 34);
    EXPECT_LT(opening, driving - 12.0);       // near silence at the start
    EXPECT_LT(orderDb(1, 2), driving - 6.0);  // the beat arrives later
    EXPECT_LT(orderDb(10, 12), driving - 2.0);  // the fish are lighter
    EXPECT_LT(orderDb(26, 27), driving - 2.0);  // the flares are airy
    EXPECT_GE(lift, driving - 1.0);           // the last lift
    // The final chord sounds up to the mute at order 38 row 41, the tail is quiet.
    double chord = db(musicLevel(a, a.TimeAt(38, 17), a.TimeAt(38, 41)).rms);
    EXPECT_GT(chord, driving - 10.0);
    EXPECT_LT(orderDb(39, 39), chord - 8.0);
    EXPECT_LT(db(musicLevel(a, a.Seconds() - 1.0, a.Seconds()).rms), opening);
}
