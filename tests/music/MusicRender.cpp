#include "MusicRender.h"

#include <algorithm>
#include <cmath>
#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>

MusicAudio musicRender(const std::vector<uint8_t>& bytes, const std::vector<int>& channels)
{
    openmpt::module_ext module(bytes);
    if (!channels.empty()) {
        auto* interactive = static_cast<openmpt::ext::interactive*>(module.get_interface(openmpt::ext::interactive_id));
        for (int ch = 0; ch < module.get_num_channels(); ++ch)
            interactive->set_channel_mute_status(ch, std::find(channels.begin(), channels.end(), ch) == channels.end());
    }
    MusicAudio audio;
    // Small steps, so a row's first frame is known to within a millisecond.
    std::vector<float> l(32), r(32);
    while (true) {
        int order = module.get_current_order(), row = module.get_current_row();
        size_t index = static_cast<size_t>(order) * 64 + row;
        if (order >= 0 && row >= 0 && row < 64 && index >= audio.rowStart.size()) {
            audio.rowStart.resize(index + 1, audio.left.size());
            audio.rowStart[index] = audio.left.size();
        }
        size_t n = module.read(MUSIC_RATE, l.size(), l.data(), r.data());
        if (n == 0)
            break;
        audio.left.insert(audio.left.end(), l.begin(), l.begin() + n);
        audio.right.insert(audio.right.end(), r.begin(), r.begin() + n);
    }
    return audio;
}

double MusicAudio::TimeAt(int order, int row) const
{
    size_t index = static_cast<size_t>(order) * 64 + row;
    if (index >= rowStart.size())
        return Seconds();
    return static_cast<double>(rowStart[index]) / MUSIC_RATE;
}

double musicTimeAt(const std::vector<uint8_t>& bytes, int order, int row)
{
    openmpt::module module(bytes);
    return module.set_position_order_row(order, row);
}

MusicLevel musicLevel(const MusicAudio& audio, double from, double to)
{
    size_t a = static_cast<size_t>(std::max(0.0, from) * MUSIC_RATE);
    size_t b = std::min(audio.left.size(), static_cast<size_t>(std::max(0.0, to) * MUSIC_RATE));
    MusicLevel level{ 0.0, 0.0 };
    if (b <= a)
        return level;
    double sum = 0.0;
    for (size_t i = a; i < b; ++i) {
        sum += audio.left[i] * audio.left[i] + audio.right[i] * audio.right[i];
        level.peak = std::max(level.peak, static_cast<double>(std::max(std::fabs(audio.left[i]), std::fabs(audio.right[i]))));
    }
    level.rms = std::sqrt(sum / (2.0 * (b - a)));
    return level;
}
