// The page around the show: the title card, the show's data in the program's
// in-memory file system, the music host (libopenmpt in an AudioWorklet, and a
// second libopenmpt here for what the program must know at once) and the way
// back to the title card when the show ends.
//
// Address switches: ?start=ORDER and ?end=ORDER as on the command line;
// ?autoplay starts without waiting for a click or a key; ?silent plays
// without sound (the music timed by the clock); ?costs records every drawn
// frame's cost (-costs) and, when the show ends, prints one line per part to
// the console ("cost TIMER FRAMES MEDIAN_MS MEAN_MS P99_MS") and keeps them
// in window.quietHarbor.costs; ?player plays with the player's keys
// (-player).
// ?hash&start=S&end=E&fps=F plays the show at once on the native capture's
// virtual clock, without sound and without drawing the canvas, and keeps the
// FNV-1a hash of each frame (as the reference frames hash them) in
// window.quietHarbor.hashes, to be compared with the native capture.
import libopenmpt from "./libopenmpt.worklet.js";
import QuietHarbor from "./quietharbor.js";

const params = new URLSearchParams(location.search);
const title = document.getElementById("title");
const stage = document.getElementById("stage");
const canvas = document.getElementById("screen");
const message = document.getElementById("message");

// What the tests read: the music's position and the show's state.
const state = (window.quietHarbor = { running: false, ended: 0, exitStatus: null, position: null, log: [], costs: [],
                                       hashes: [] });
const hashMode = params.has("hash");

// The program is built with WebAssembly SIMD (its drawing lanes): a module
// of one function using it (i8x16.splat, i8x16.popcnt) tells whether this
// browser can load the program at all.
const SIMD_PROBE = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10, 1, 8, 0, 65, 0,
                                   253, 15, 253, 98, 11]);

let libPromise = null;
let dataPromise = null;

function fetchBytes(name) {
    return fetch(name).then((r) => {
        if (!r.ok) throw new Error(`${name}: ${r.status} ${r.statusText}`);
        return r.arrayBuffer();
    });
}

// demo.pak and the texture folder, fetched once for every start.
function loadData() {
    if (!dataPromise)
        dataPromise = fetch("data.txt")
            .then((r) => r.text())
            .then((list) => {
                const names = list.split("\n").filter((n) => n);
                return Promise.all(names.map((n) => fetchBytes(n).then((b) => [n, new Uint8Array(b)])));
            });
    return dataPromise;
}

// The music host the program's music channel talks to. Without a worklet
// (no audio here) the music is rendered silently on this thread in step with
// the clock, so the show keeps the music's tempo all the same.
class MusicHost {
    constructor(lib, context, node) {
        this.lib = lib;
        this.context = context;
        this.node = node;
        this.musics = new Map();
        this.next = 1;
        this.current = 0;
        this.reports = []; // the worklet's recent reports, oldest first
        this.silent = null; // {since, frames, paused} of the silent clock
        this.virtualMs = null; // the capture's virtual clock (hash mode), which the program sets
        if (!node) return;
        node.port.onmessage = (e) => {
            if (e.data.type === "position") {
                this.reports.push({ ...e.data, at: performance.now() });
                if (this.reports.length > 64) this.reports.shift();
            } else if (e.data.type === "error") {
                console.error(e.data.text);
            }
        };
    }

    // What the listener hears now. The worklet's samples reach the speakers
    // after the context's latency, so the show follows the newest report at
    // least that far behind the output, the output reckoned on from the last
    // report by the clock (never past it, so a pause or the end holds).
    heard() {
        const r = this.reports;
        if (!r.length) return null;
        const last = r[r.length - 1];
        const lag = ((this.context.baseLatency || 0) + (this.context.outputLatency || 0)) * 44100;
        const played = Math.min(last.frames, last.frames + ((performance.now() - last.at) * 44100) / 1000 - lag);
        let heard = r[0];
        for (const p of r) if (p.frames <= played) heard = p;
        state.position = heard;
        return heard;
    }

    post(message) {
        if (this.node) this.node.port.postMessage(message);
    }

    // The virtual clock starts at 1000 ms, as the native capture's does; the
    // music renders the frames of that clock since it started, as there.
    setVirtualMs(ms) {
        this.virtualMs = ms;
    }

    virtualFrames() {
        return Math.floor(((this.virtualMs - 1000) * 44100) / 1000);
    }

    // The silent clock: renders the current music up to now; its position.
    // On the virtual clock since counts frames, not ms.
    silentPosition(m) {
        const c = this.silent, lib = this.lib;
        const target = c.paused ? c.frames
                     : this.virtualMs !== null ? this.virtualFrames() - c.since
                     : Math.floor(((performance.now() - c.since) * 44100) / 1000);
        if (!this.scratch) this.scratch = lib._malloc(4096 * 2 * 4);
        while (!c.ended && c.frames < target) {
            const n = Math.min(4096, target - c.frames);
            const got = lib._openmpt_module_read_interleaved_float_stereo(m.mod, 44100, n, this.scratch);
            const order = lib._openmpt_module_get_current_order(m.mod);
            c.ended = got < n || order < c.order;
            c.order = order;
            c.frames += n;
        }
        const p = { order: c.order, row: lib._openmpt_module_get_current_row(m.mod), frames: c.frames, ended: c.ended };
        state.position = p;
        return p;
    }

    ready() {
        return !!this.node;
    }

    // A module the page's libopenmpt accepts gets a handle; 0 otherwise.
    load(bytes, ramp) {
        const lib = this.lib;
        const data = lib._malloc(bytes.length);
        lib.HEAPU8.set(bytes, data);
        const mod = lib._openmpt_module_create_from_memory2(data, bytes.length, 0, 0, 0, 0, 0, 0, 0);
        lib._free(data);
        if (!mod) return 0;
        lib._openmpt_module_set_repeat_count(mod, 0);
        const handle = this.next++;
        this.musics.set(handle, { bytes, ramp, mod, order: 0, orders: lib._openmpt_module_get_num_orders(mod) });
        return handle;
    }

    call(what, handle, value) {
        if (what === "pause") {
            this.post({ type: "pause", paused: !!value });
            const c = this.silent;
            if (c && !!value !== c.paused && this.musics.has(this.current)) {
                if (value) this.silentPosition(this.musics.get(this.current));
                else if (this.virtualMs !== null) c.since = this.virtualFrames() - c.frames;
                else c.since = performance.now() - (c.frames * 1000) / 44100;
                c.paused = !!value;
            }
        } else if (what === "volume") {
            this.post({ type: "volume", value: value / 100 });
        } else if (what === "freeAll") {
            for (const h of [...this.musics.keys()]) this.query("free", h, 0);
        }
    }

    query(what, handle, value) {
        if (what === "heardMs") {
            const p = this.node ? this.heard() : this.silent;
            return p ? (p.frames * 1000) / 44100 : -1;
        }
        const m = this.musics.get(handle);
        const lib = this.lib;
        if (!m) return what === "position" ? 0xffffffff : 0;
        switch (what) {
            case "seek":
                if (value < 0 || value >= m.orders) return 0;
                m.order = value;
                lib._openmpt_module_set_position_order_row(m.mod, value, 0);
                return 1;
            case "play":
                this.current = handle;
                this.reports = [];
                this.post({ type: "play", bytes: m.bytes.buffer, order: m.order, ramp: m.ramp });
                if (!this.node) {
                    const since = this.virtualMs !== null ? this.virtualFrames() : performance.now();
                    this.silent = { since, frames: 0, order: m.order, paused: false };
                }
                return 1;
            case "free":
                if (this.current === handle) {
                    this.post({ type: "stop" });
                    this.current = 0;
                }
                lib._openmpt_module_destroy(m.mod);
                this.musics.delete(handle);
                return 1;
            case "position": {
                const p = handle !== this.current ? null : this.node ? this.heard() : this.silentPosition(m);
                if (!p) return m.order;
                if (p.ended) return 0xffffffff;
                return ((p.order & 0xffff) | (p.row << 16)) >>> 0;
            }
            case "lengthMs":
                return Math.floor(lib._openmpt_module_get_duration_seconds(m.mod) * 1000);
            case "positionMs":
                return Math.floor(lib._openmpt_module_get_position_seconds(m.mod) * 1000);
        }
        return 0;
    }
}

async function startMusic() {
    if (!libPromise) libPromise = libopenmpt();
    const lib = await libPromise;
    let context = null;
    try {
        if (hashMode) return new MusicHost(lib, null, null);
        if (params.has("silent")) throw new Error("?silent");
        context = new AudioContext({ sampleRate: 44100 });
        await context.audioWorklet.addModule("music.worklet.js");
        const node = new AudioWorkletNode(context, "quietharbor-music", { outputChannelCount: [2] });
        node.connect(context.destination);
        await context.resume();
        return new MusicHost(lib, context, node);
    } catch (e) {
        console.error(`No sound (${e}): the music goes on silently, timed by the clock`);
        if (context) context.close();
        return new MusicHost(lib, null, null);
    }
}

function showMessage(text, caption) {
    message.textContent = caption ? `${caption}\n\n${text}` : text;
    message.hidden = false;
}

function setFullscreen(on) {
    if (on && !document.fullscreenElement) stage.requestFullscreen().catch(() => {});
    if (!on && document.fullscreenElement) document.exitFullscreen().catch(() => {});
}

function backToTitle(music) {
    if (music && music.context) music.context.close();
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    state.running = false;
    state.ended++;
    stage.hidden = true;
    title.hidden = false;
}

async function start() {
    if (state.running) return;
    if (!WebAssembly.validate(SIMD_PROBE)) {
        showMessage("This browser has no WebAssembly SIMD, which the show is built with: it needs Chrome 91, " +
                    "Firefox 89, Safari 16.4 or a later version.", "Quiet Harbor");
        return;
    }
    state.running = true;
    title.hidden = true;
    message.hidden = true;
    stage.hidden = false;
    const [music, files] = await Promise.all([startMusic(), loadData()]);
    const args = hashMode ? ["-capture", "hash", "-fps", params.get("fps") || "60"] : ["-windowed"];
    if (params.has("costs")) args.push("-costs", "costs.txt");
    if (params.has("player")) args.push("-player");
    for (const name of ["start", "end"]) if (params.has(name)) args.push(`-${name}`, params.get(name));
    let finished = false;
    let module = null;
    const finish = (status) => {
        if (finished) return;
        finished = true;
        state.exitStatus = status;
        if (params.has("costs") && module) summariseCosts(module);
        backToTitle(music);
    };
    QuietHarbor({
        canvas,
        arguments: args,
        music,
        showMessage,
        setFullscreen,
        onFrameHash: (hash) => state.hashes.push(hash),
        print: (t) => console.log(t),
        printErr: (t) => {
            state.log.push(t);
            console.error(t);
        },
        preRun: [
            (m) => {
                module = m;
                for (const [name, bytes] of files) {
                    const slash = name.lastIndexOf("/");
                    if (slash > 0) m.FS.mkdirTree(name.slice(0, slash));
                    m.FS.writeFile(name, bytes);
                }
            },
        ],
        onExit: finish,
        onAbort: () => finish(-1),
    });
}

// The per-part summary of the costs file: frames, median, mean and 99th
// percentile of the drawing's ms.
function summariseCosts(module) {
    let text;
    try {
        text = module.FS.readFile("costs.txt", { encoding: "utf8" });
    } catch {
        return;
    }
    const parts = new Map();
    for (const line of text.split("\n")) {
        const f = line.split(" ");
        if (f.length < 6 || line.startsWith("#")) continue;
        if (!parts.has(f[0])) parts.set(f[0], []);
        parts.get(f[0]).push(Number(f[5]) / 1e6);
    }
    for (const [timer, ms] of parts) {
        ms.sort((a, b) => a - b);
        const mean = ms.reduce((a, b) => a + b, 0) / ms.length;
        const at = (q) => ms[Math.min(ms.length - 1, Math.floor(ms.length * q))].toFixed(3);
        const line = `cost ${timer} ${ms.length} ${at(0.5)} ${mean.toFixed(3)} ${at(0.99)}`;
        state.costs.push(line);
        console.log(line);
    }
}

function startOnGesture(e) {
    if (state.running || title.hidden) return;
    if (e.type === "keydown" && (e.key === "Escape" || e.ctrlKey || e.metaKey)) return;
    e.preventDefault();
    start();
}
window.addEventListener("click", startOnGesture);
window.addEventListener("keydown", startOnGesture);

if (params.has("autoplay") || hashMode) start();
