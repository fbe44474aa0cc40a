// The page in a headless chromium. Opened as a visitor opens it, without
// switches, the screen shows the title card, and a click starts the show.
// At ?start=17&autoplay the greetings come
// up within a few seconds, the picture moves from one second to the next,
// the music's position advances, Alt+Enter switches full screen on and off,
// and Escape reaches the show and ends it.
// Without sound (?silent) the music's clock keeps the show going all the same.
// With ?player, Right jumps to the next order, Space holds picture and music,
// and F1 lights the rows above the picture.
// The program is the WebAssembly SIMD build: the sprites' lanes are in it.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { test } from "node:test";
import { fileURLToPath } from "node:url";
import fs from "node:fs";
import path from "node:path";

import { browser, serve, sleep, until } from "./webdriver.mjs";

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
const page = process.env.QH_WEB_PAGE || path.join(root, "build-web/page");

// The canvas as the page shows it: lit pixels and a hash of the picture.
const LOOK = `
    const c = document.getElementById("screen");
    const d = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
    let lit = 0, hash = 0;
    for (let i = 0; i < d.length; i += 4) {
        if (d[i] | d[i + 1] | d[i + 2]) lit++;
        hash = (Math.imul(hash, 31) + d[i] + 7 * d[i + 1] + 13 * d[i + 2]) | 0;
    }
    const s = window.quietHarbor;
    return { lit, hash, running: s.running, ended: s.ended, exitStatus: s.exitStatus, position: s.position, log: s.log,
             title: !document.getElementById("title").hidden };`;

// Lit pixels of a screenshot inside a box of the page (CSS pixels).
function litIn(shot, box, scale) {
    let lit = 0;
    for (let y = Math.floor(box.top * scale); y < Math.min(shot.height, Math.ceil(box.bottom * scale)); y++)
        for (let x = Math.floor(box.left * scale); x < Math.min(shot.width, Math.ceil(box.right * scale)); x++) {
            const p = (y * shot.width + x) * 4;
            if (shot.rgba[p] + shot.rgba[p + 1] + shot.rgba[p + 2] > 300) lit++;
        }
    return lit;
}

const BOXES = `
    const box = (e) => { const r = e.getBoundingClientRect(); return { left: r.left, top: r.top, right: r.right, bottom: r.bottom }; };
    return { width: innerWidth, title: box(document.querySelector("#title h1")),
             prompt: box(document.querySelector("#title p")), screen: box(document.getElementById("screen")) };`;

test("opened without switches the screen shows the title card, and a click starts the show", { timeout: 60000 }, async (t) => {
    const server = await serve(page);
    const chromium = await browser();
    t.after(async () => {
        await chromium.close();
        server.stop();
    });
    await chromium.open(server.url);

    // The document says where the title and the prompt are; the screen must
    // show them there, light on black.
    const where = await chromium.run(BOXES);
    const seen = await until(async () => {
        const shot = await chromium.screenshot();
        const scale = shot.width / where.width;
        const title = litIn(shot, where.title, scale), prompt = litIn(shot, where.prompt, scale);
        return title > 200 && prompt > 100 ? { title, prompt } : null;
    }, 5000);
    assert.ok(seen, "the screen does not show the title card");
    const before = await chromium.run(LOOK);
    assert.ok(!before.running && before.title, "the show started by itself");

    await chromium.click((where.title.left + where.title.right) / 2, (where.title.top + where.title.bottom) / 2);
    const playing = await until(async () => {
        const s = await chromium.run(LOOK);
        return s.running && !s.title && s.position && s.lit > 1000 ? s : null;
    }, 20000);
    assert.ok(playing, "the click did not start the show");
    // The picture is on the screen, where the title card was.
    const stage = await chromium.run(BOXES);
    const shot = await chromium.screenshot();
    assert.ok(litIn(shot, stage.screen, shot.width / stage.width) > 0, "the show's picture is not on the screen");
});

test("the program draws with WebAssembly SIMD: the sprite lanes' byte average and pack are in it", () => {
    const wasm = path.join(page, "quietharbor.wasm");
    assert.ok(fs.existsSync(wasm), `no page built in ${page}`);
    // wasm-dis comes with binaryen, which emscripten brings along.
    const text = execFileSync("wasm-dis", [wasm], { maxBuffer: 1 << 30, stdio: ["ignore", "pipe", "ignore"] }).toString();
    // _mm_avg_epu8 and _mm_packus_epi16 of the blend, and the SIMD loads.
    for (const op of ["i8x16.avgr_u", "i8x16.narrow_i16x8_u", "v128.load"])
        assert.ok(text.includes(op), `${op} is not in the program`);
});

test("the page plays the greetings with their music, Alt+Enter goes full screen and Escape ends the show", { timeout: 90000 }, async (t) => {
    assert.ok(fs.existsSync(path.join(page, "quietharbor.wasm")), `no page built in ${page}`);
    const server = await serve(page);
    const chromium = await browser();
    t.after(async () => {
        await chromium.close();
        server.stop();
    });
    await chromium.open(`${server.url}?start=17&autoplay`);

    // Within a few seconds of the start the show draws: most of the picture lit.
    const first = await until(async () => {
        const s = await chromium.run(LOOK);
        return s.running && s.position && s.lit > 640 * 480 / 4 ? s : null;
    }, 15000);
    assert.ok(first, "the show did not draw within 15 s");
    assert.equal(first.position.order, 17, "the music starts at order 17");

    await sleep(1000);
    const second = await chromium.run(LOOK);
    assert.ok(second.running, `the show stopped: ${second.log.join(" / ")}`);
    assert.notEqual(second.hash, first.hash, "the picture did not change within a second");
    assert.ok(second.lit > 640 * 480 / 4, "the picture went dark");
    const heard = (p) => p.order * 64 + p.row;
    assert.ok(second.position.frames >= first.position.frames + 30000,
              `the music advanced by ${second.position.frames - first.position.frames} frames in a second`);
    assert.ok(heard(second.position) > heard(first.position), "the music's row did not advance");

    // Alt+Enter: full screen through the program's own switch, and back.
    const fullscreen = () => chromium.run("return !!document.fullscreenElement;");
    await chromium.key("\uE00A", "\uE006"); // Alt, Return
    assert.ok(await until(fullscreen, 3000), "Alt+Enter did not go full screen");
    await chromium.key("\uE00A", "\uE006");
    assert.ok(await until(async () => !(await fullscreen()), 3000), "Alt+Enter did not leave full screen");

    await chromium.key("\uE00C"); // Escape
    const ended = await until(async () => {
        const s = await chromium.run(LOOK);
        return s.ended === 1 && !s.running && s.title ? s : null;
    }, 5000);
    assert.ok(ended, "Escape did not end the show");
});

test("without sound the music goes on, timed by the clock, and the show hands over", { timeout: 60000 }, async (t) => {
    const server = await serve(page);
    const chromium = await browser();
    t.after(async () => {
        await chromium.close();
        server.stop();
    });
    // The roto-zoom's last order, about 7 s, to the circles' first.
    await chromium.open(`${server.url}?start=29&end=30&autoplay&silent`);
    const ended = await until(async () => {
        const s = await chromium.run(LOOK);
        return s.ended === 1 ? s : null;
    }, 40000);
    assert.ok(ended, "the silent show did not reach its end order");
    assert.equal(ended.exitStatus, 0);
    assert.ok(ended.position.order >= 30, `the music stood at order ${ended.position.order}`);
});

test("the player's keys jump to the next order, pause picture and music, and show the overlay", { timeout: 60000 }, async (t) => {
    const server = await serve(page);
    const chromium = await browser();
    t.after(async () => {
        await chromium.close();
        server.stop();
    });
    await chromium.open(`${server.url}?start=17&autoplay&silent&player`);
    const look = () => chromium.run(LOOK);
    assert.ok(await until(async () => {
        const s = await look();
        return s.running && s.position && s.lit > 640 * 480 / 4;
    }, 15000), "the show did not draw within 15 s");

    await chromium.key("\uE014"); // Right
    const jumped = await until(async () => {
        const s = await look();
        return s.position.order === 18 && s.position.row < 16 ? s : null;
    }, 3000);
    assert.ok(jumped, "Right did not jump to order 18");

    await chromium.key("\uE00D"); // Space
    await sleep(300);
    const held = await look();
    await sleep(1000);
    const still = await look();
    assert.equal(still.hash, held.hash, "the picture moved while paused");
    assert.deepEqual([still.position.order, still.position.row], [held.position.order, held.position.row],
                     "the music moved while paused");
    await chromium.key("\uE00D");
    assert.ok(await until(async () => (await look()).hash !== held.hash, 3000), "Space did not resume");

    // The overlay's rows: the canvas's first 22 of 480.
    const topLit = `
        const c = document.getElementById("screen");
        const d = c.getContext("2d").getImageData(0, 0, c.width, Math.round(c.height * 22 / 480)).data;
        let lit = 0;
        for (let i = 0; i < d.length; i += 4) if (d[i] + d[i + 1] + d[i + 2] > 300) lit++;
        return lit;`;
    assert.equal(await chromium.run(topLit), 0, "the rows above the picture are lit without F1");
    await chromium.key("\uE031"); // F1
    assert.ok(await until(async () => (await chromium.run(topLit)) > 100, 3000), "F1 did not show the overlay");
    await chromium.key("\uE031");
    assert.ok(await until(async () => (await chromium.run(topLit)) === 0, 3000), "F1 did not hide the overlay");
});
