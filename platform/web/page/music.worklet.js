// The show's music in the audio thread: libopenmpt (WebAssembly) renders the
// module straight into the output, and every few milliseconds the processor
// posts where it stands: {order, row, seconds, frames, ended}.
import libopenmpt from "./libopenmpt.worklet.js";

// Messages from the page: {type: "play", bytes, order, ramp} starts a module
// at an order; "pause" {paused}; "volume" {value} 0..1; "stop".
class MusicProcessor extends AudioWorkletProcessor {
    constructor() {
        super();
        this.mod = 0;
        this.playing = false;
        this.ended = false;
        this.volume = 1;
        this.frames = 0;
        this.calls = 0;
        this.waiting = [];
        this.port.onmessage = (e) => (this.lib ? this.handle(e.data) : this.waiting.push(e.data));
        libopenmpt().then((lib) => {
            this.lib = lib;
            this.buffer = lib._malloc(4096 * 2 * 4);
            for (const m of this.waiting) this.handle(m);
            this.waiting = [];
            this.port.postMessage({ type: "ready" });
        });
    }

    destroy() {
        if (this.mod) this.lib._openmpt_module_destroy(this.mod);
        this.mod = 0;
        this.playing = false;
    }

    handle(m) {
        const lib = this.lib;
        if (m.type === "play") {
            this.destroy();
            const bytes = new Uint8Array(m.bytes);
            const data = lib._malloc(bytes.length);
            lib.HEAPU8.set(bytes, data);
            this.mod = lib._openmpt_module_create_from_memory2(data, bytes.length, 0, 0, 0, 0, 0, 0, 0);
            lib._free(data);
            if (!this.mod) {
                this.port.postMessage({ type: "error", text: "libopenmpt refused the module" });
                return;
            }
            // Played once, never looped; without ramping volume changes are immediate.
            lib._openmpt_module_set_repeat_count(this.mod, 0);
            if (!m.ramp) lib._openmpt_module_set_render_param(this.mod, 2 /* VOLUMERAMPING_STRENGTH */, 0);
            if (m.order > 0) lib._openmpt_module_set_position_order_row(this.mod, m.order, 0);
            this.frames = 0;
            this.order = m.order;
            this.ended = false;
            this.playing = true;
            this.report();
        } else if (m.type === "pause") {
            this.playing = !m.paused && !!this.mod;
        } else if (m.type === "volume") {
            this.volume = m.value;
        } else if (m.type === "stop") {
            this.destroy();
        }
    }

    report() {
        const lib = this.lib;
        this.port.postMessage({
            type: "position",
            order: lib._openmpt_module_get_current_order(this.mod),
            row: lib._openmpt_module_get_current_row(this.mod),
            seconds: lib._openmpt_module_get_position_seconds(this.mod),
            frames: this.frames,
            ended: this.ended,
        });
    }

    process(inputs, outputs) {
        const out = outputs[0];
        const left = out[0], right = out[1] || out[0];
        const n = left.length;
        if (!this.playing || !this.mod || this.ended) {
            left.fill(0);
            right.fill(0);
            return true;
        }
        const lib = this.lib;
        const got = lib._openmpt_module_read_interleaved_float_stereo(this.mod, sampleRate, n, this.buffer);
        const samples = lib.HEAPF32.subarray(this.buffer >> 2, (this.buffer >> 2) + 2 * n);
        for (let i = 0; i < n; i++) {
            left[i] = i < got ? samples[2 * i] * this.volume : 0;
            right[i] = i < got ? samples[2 * i + 1] * this.volume : 0;
        }
        this.frames += got;
        // At the very end the library reads back to the start: that is the end.
        const order = lib._openmpt_module_get_current_order(this.mod);
        if (got < n || order < this.order) {
            this.ended = true;
            this.report();
        } else if (++this.calls % 4 === 0) {
            this.order = order;
            this.report(); // every 512 frames, about 12 ms
        }
        return true;
    }
}

registerProcessor("quietharbor-music", MusicProcessor);
