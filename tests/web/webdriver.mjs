// A headless chromium driven through chromedriver's plain WebDriver HTTP, and
// a local web server for the page (pages from file:// cannot load a worklet).
import { spawn } from "node:child_process";
import net from "node:net";

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

// Starts chromedriver and a headless chromium session.
export async function browser() {
    const port = await freePort();
    const driver = spawn("chromedriver", [`--port=${port}`], { stdio: "ignore" });
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
    const args = ["--headless=new", "--autoplay-policy=no-user-gesture-required", "--window-size=800,600",
                  "--mute-audio"];
    if (process.getuid && process.getuid() === 0) args.push("--no-sandbox");
    let session;
    try {
        session = await call("POST", "/session", {
            capabilities: { alwaysMatch: { "goog:chromeOptions": { binary: "/usr/bin/chromium", args } } },
        });
    } catch (e) {
        driver.kill();
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
        close: async () => {
            await call("DELETE", s).catch(() => {});
            driver.kill();
        },
    };
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
