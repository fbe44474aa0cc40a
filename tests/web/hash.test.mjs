// One show, the same bytes everywhere: the page's hash mode (?hash) plays
// orders of the show on the native capture's virtual clock and keeps each
// frame's hash; the native program captures the same orders losslessly, read
// here from a pipe and hashed the same way (64-bit FNV-1a of the frame's
// B, G, R, 255 bytes, the hash of tests/frames/frames.txt). Every frame must
// agree: the greetings (orders 17 and 18, their random mosaic) and the flare
// scene (order 26, 3D with splines and lights). A few native frames are
// also the reference frames of those windows, which ties this hash to theirs.
import assert from "node:assert/strict";
import { spawn, execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { test } from "node:test";

import { browser, serve, until } from "./webdriver.mjs";

const page = process.env.QH_WEB_PAGE;
const program = process.env.QH_PROGRAM;
const data = process.env.QH_DATA; // the native build: demo.pak and textures/
const references = process.env.QH_FRAMES_FILE;
const FRAME = 640 * 480 * 4;

if (!page || !fs.existsSync(path.join(page, "quietharbor.wasm")) || !program || !fs.existsSync(program)) {
    console.log("skipped: needs the native program and the page of build-web/");
    process.exit(77);
}

// The windows: orders, the capture's rate, and the reference frames of
// frames.txt that fall in them (window name, its frame = ours).
// QH_HASH_WINDOWS=START:END:FPS,... compares other windows instead (the
// opening from the start is START -1), without reference frames.
const WINDOWS = process.env.QH_HASH_WINDOWS
    ? process.env.QH_HASH_WINDOWS.split(",").map((w) => {
          const [start, end, fps, more] = w.split(":").map(Number);
          if (![start, end, fps].every(Number.isInteger) || more !== undefined || start < -1 || end <= start || fps < 1)
              throw new Error(`QH_HASH_WINDOWS: "${w}" is not START:END:FPS`);
          return { start, end, fps, frames: [] };
      })
    : [
          { start: 17, end: 19, fps: 2, reference: "greet", frames: [1, 11, 17] },
          { start: 26, end: 27, fps: 22, reference: "flare", frames: [5, 81] },
      ];

// FNV-1a over 64 bits in two 32-bit halves (the prime is 2^40 + 0x1b3).
class Fnv {
    constructor() {
        this.hi = 0xcbf29ce4;
        this.lo = 0x84222325;
    }
    add(bytes) {
        let hi = this.hi, lo = this.lo;
        for (let i = 0; i < bytes.length; i++) {
            lo = (lo ^ bytes[i]) >>> 0;
            const low = lo * 0x1b3;
            const carry = Math.floor(low / 4294967296);
            hi = (hi * 0x1b3 + carry + ((lo << 8) >>> 0)) % 4294967296;
            lo = low % 4294967296;
        }
        this.hi = hi;
        this.lo = lo;
    }
    hex() {
        return this.hi.toString(16).padStart(8, "0") + this.lo.toString(16).padStart(8, "0");
    }
}

// The native capture of a window, one hash a frame.
async function nativeHashes(w, scratch) {
    const dir = fs.mkdtempSync(path.join(scratch, "native-"));
    fs.symlinkSync(path.join(data, "demo.pak"), path.join(dir, "demo.pak"));
    fs.symlinkSync(path.join(data, "textures"), path.join(dir, "textures"));
    const fifo = path.join(dir, "show.rgb");
    execFileSync("mkfifo", [fifo]);
    const args = ["-capture", fifo, "-end", `${w.end}`, "-fps", `${w.fps}`];
    if (w.start >= 0) args.push("-start", `${w.start}`);
    // The processor drawing path, which the page's WebAssembly SIMD lanes are.
    const env = { ...process.env, SDL_VIDEODRIVER: "dummy", SDL_AUDIODRIVER: "dummy" };
    delete env.QH_NO_MMX;
    const child = spawn(program, args, { cwd: dir, env, stdio: ["ignore", "ignore", "pipe"] });
    let err = "";
    child.stderr.on("data", (d) => (err += d));
    const exited = new Promise((r) => child.on("exit", (code) => r(code)));
    const hashes = [];
    let fnv = new Fnv(), filled = 0;
    for await (const chunk of fs.createReadStream(fifo)) {
        for (let at = 0; at < chunk.length;) {
            const n = Math.min(FRAME - filled, chunk.length - at);
            fnv.add(chunk.subarray(at, at + n));
            at += n;
            filled += n;
            if (filled === FRAME) {
                hashes.push(fnv.hex());
                fnv = new Fnv();
                filled = 0;
            }
        }
    }
    const code = await exited;
    assert.equal(code, 0, `the native capture failed: ${err}`);
    assert.equal(filled, 0, "the native capture ends inside a frame");
    return hashes;
}

async function browserHashes(w) {
    const server = await serve(page);
    const chromium = await browser();
    try {
        const from = w.start >= 0 ? `&start=${w.start}` : "";
        await chromium.open(`${server.url}?hash${from}&end=${w.end}&fps=${w.fps}`);
        const done = await until(() => chromium.run("const s = window.quietHarbor; return s && s.ended ? s : null;"),
                                 120000);
        assert.ok(done, "the page's hash mode did not reach its end order");
        assert.equal(done.exitStatus, 0, `the page's show failed: ${done.log.join(" / ")}`);
        return done.hashes;
    } finally {
        await chromium.close();
        server.stop();
    }
}

function referenceHashes() {
    const kept = new Map();
    for (const line of fs.readFileSync(references, "utf8").split("\n")) {
        const f = line.split(" ");
        if (f.length === 4 && f[2] === "mmx") kept.set(`${f[0]} ${f[1]}`, f[3]);
    }
    return kept;
}

for (const w of WINDOWS) {
    test(`orders ${w.start} to ${w.end - 1} at ${w.fps} fps: the browser's frames are the native capture's`,
         { timeout: 300000 }, async (t) => {
        const scratch = fs.mkdtempSync(`${process.env.TMPDIR || "/tmp"}/qh-hash-`);
        t.after(() => fs.rmSync(scratch, { recursive: true, force: true }));
        const native = await nativeHashes(w, scratch);
        const kept = referenceHashes();
        for (const k of w.frames)
            assert.equal(native[k], kept.get(`${w.reference} ${k}`), `native frame ${k} is not ${w.reference} ${k}`);

        const seen = await browserHashes(w);
        const differing = [];
        for (let k = 0; k < Math.max(seen.length, native.length); k++)
            if (seen[k] !== native[k]) differing.push(k);
        assert.equal(seen.length, native.length, `the browser gave ${seen.length} frames, the native capture ${native.length}`);
        assert.deepEqual(differing, [], `frames that differ: ${differing.join(" ")} of ${native.length}`);
        console.log(`orders ${w.start}-${w.end - 1} at ${w.fps} fps: ${native.length} frames alike`);
    });
}
