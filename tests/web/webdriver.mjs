// A headless chromium driven through chromedriver's plain WebDriver HTTP, and
// a local web server for the page (pages from file:// cannot load a worklet).
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import net from "node:net";
import zlib from "node:zlib";

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

function freePort() {
    return new Promise((resolve, reject) => {
        const s = net.createServer();
        s.listen(0, "127.0.0.1", () => {
            const { port } = s.address();
            s.close(() => resolve(port));
        });
        s.on("error", reject);
    });
}

async function waitFor(url) {
    for (let i = 0; i < 100; i++) {
        try {
            await fetch(url);
            return;
        } catch {
            await sleep(100);
        }
    }
    throw new Error(`nothing answers at ${url}`);
}

// Serves dir on 127.0.0.1; returns {url, stop}.
export async function serve(dir) {
    const port = await freePort();
    const server = spawn("python3", ["-m", "http.server", "--bind", "127.0.0.1", "--directory", dir, String(port)], {
        stdio: "ignore",
    });
    const url = `http://127.0.0.1:${port}/`;
    await waitFor(url);
    return { url, stop: () => server.kill() };
}

// Starts chromedriver and a chromium session: headless and muted, unless
// told to open a window on the X server of $DISPLAY and play its sound; its
// profile and temporary files in a scratch folder, removed when it closes.
export async function browser({ headless = true, sound = false } = {}) {
    const port = await freePort();
    const scratch = mkdtempSync(`${process.env.TMPDIR || "/tmp"}/qh-chromium-`);
    const removeScratch = () => rmSync(scratch, { recursive: true, force: true, maxRetries: 10 });
    process.once("exit", removeScratch);
    const driver = spawn("chromedriver", [`--port=${port}`], { stdio: "ignore", env: { ...process.env, TMPDIR: scratch } });
    const stop = async () => {
        if (driver.exitCode === null && driver.signalCode === null) await new Promise((r) => driver.once("exit", r).kill());
        removeScratch();
    };
    const base = `http://127.0.0.1:${port}`;
    await waitFor(`${base}/status`);
    const call = async (method, path, body) => {
        const r = await fetch(base + path, {
            method,
            headers: { "Content-Type": "application/json" },
            body: body === undefined ? undefined : JSON.stringify(body),
        });
        const json = await r.json();
        if (!r.ok) throw new Error(`${method} ${path}: ${JSON.stringify(json.value)}`);
        return json.value;
    };
    const args = ["--autoplay-policy=no-user-gesture-required", "--window-size=800,600",
                  `--user-data-dir=${scratch}/profile`];
    if (headless) args.push("--headless=new");
    if (!sound) args.push("--mute-audio");
    if (process.getuid && process.getuid() === 0) args.push("--no-sandbox");
    let session;
    try {
        session = await call("POST", "/session", {
            capabilities: { alwaysMatch: { "goog:chromeOptions": { binary: "/usr/bin/chromium", args } } },
        });
    } catch (e) {
        await stop();
        throw e;
    }
    const id = session.sessionId;
    const s = `/session/${id}`;
    return {
        open: (url) => call("POST", `${s}/url`, { url }),
        run: (script, ...a) => call("POST", `${s}/execute/sync`, { script, args: a }),
        // Presses the keys in turn and releases them in reverse (a chord).
        key: (...values) =>
            call("POST", `${s}/actions`, {
                actions: [{
                    type: "key",
                    id: "keyboard",
                    actions: [...values.map((value) => ({ type: "keyDown", value })),
                              ...values.reverse().map((value) => ({ type: "keyUp", value }))],
                }],
            }),
        // What the page shows on the screen: {width, height, rgba}.
        screenshot: async () => decodePng(Buffer.from(await call("GET", `${s}/screenshot`), "base64")),
        // A left click at (x, y) of the page's viewport.
        click: (x, y) =>
            call("POST", `${s}/actions`, {
                actions: [{
                    type: "pointer",
                    id: "mouse",
                    parameters: { pointerType: "mouse" },
                    actions: [{ type: "pointerMove", x: Math.round(x), y: Math.round(y), origin: "viewport" },
                              { type: "pointerDown", button: 0 }, { type: "pointerUp", button: 0 }],
                }],
            }),
        close: async () => {
            await call("DELETE", s).catch(() => {});
            await stop();
        },
    };
}

// An 8-bit RGB or RGBA PNG, not interlaced (what chromium's screenshots are),
// as {width, height, rgba}.
export function decodePng(png) {
    assert(png.subarray(1, 4).toString() === "PNG", "not a PNG");
    let width = 0, height = 0, channels = 0;
    const data = [];
    for (let at = 8; at < png.length;) {
        const length = png.readUInt32BE(at), type = png.subarray(at + 4, at + 8).toString();
        const body = png.subarray(at + 8, at + 8 + length);
        if (type === "IHDR") {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            assert(body[8] === 8 && (body[9] === 2 || body[9] === 6) && body[12] === 0, "not 8-bit RGB(A)");
            channels = body[9] === 6 ? 4 : 3;
        } else if (type === "IDAT") {
            data.push(body);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels, rows = Buffer.alloc(stride * height);
    const paeth = (a, b, c) => {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    };
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)], line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let i = 0; i < stride; i++) {
            const a = i >= channels ? rows[y * stride + i - channels] : 0;
            const b = y > 0 ? rows[(y - 1) * stride + i] : 0;
            const c = i >= channels && y > 0 ? rows[(y - 1) * stride + i - channels] : 0;
            const predicted = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter];
            rows[y * stride + i] = (line[i] + predicted) & 0xff;
        }
    }
    const rgba = Buffer.alloc(width * height * 4);
    for (let p = 0; p < width * height; p++) {
        for (let k = 0; k < 3; k++) rgba[p * 4 + k] = rows[p * channels + k];
        rgba[p * 4 + 3] = channels === 4 ? rows[p * channels + 3] : 255;
    }
    return { width, height, rgba };
}

function assert(ok, text) {
    if (!ok) throw new Error(text);
}

// Polls test() every 100 ms until it returns a true value or ms pass.
export async function until(test, ms) {
    const end = Date.now() + ms;
    for (;;) {
        const v = await test();
        if (v || Date.now() > end) return v;
        await sleep(100);
    }
}

export { sleep };
