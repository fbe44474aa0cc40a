// The browser's libopenmpt (0.8.4, WebAssembly, from the npm package) and the
// native music channel (Debian's libopenmpt) play the show's module to the
// same order/row timeline: every row in the same sequence, each reached at
// nearly the same time.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { test } from "node:test";
import { fileURLToPath } from "node:url";

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
const tool = process.env.QH_TIMELINE || path.join(root, "build/tests/web/qh_music_timeline");
const module = process.env.QH_MODULE || path.join(root, "build/tools/iseeyou.module");
const STEP_MS = 5;
const RATE = 44100;

// [ms, order, row] of each row change, from "ms order row" lines every 5 ms.
function changes(lines) {
    const out = [];
    for (const [ms, order, row] of lines) {
        const last = out[out.length - 1];
        if (!last || last[1] !== order || last[2] !== row) out.push([ms, order, row]);
    }
    return out;
}

function nativeTimeline() {
    const text = execFileSync(tool, [module], { encoding: "utf8", maxBuffer: 64 << 20 });
    return text.trim().split("\n").map((l) => l.split(" ").map(Number));
}

// The same walk with the browser's library: 5 ms of frames at a time, the
// position read after each.
async function webTimeline() {
    const { default: libopenmpt } = await import(path.join(root, "platform/web/page/node_modules/chiptune3/libopenmpt.worklet.js"));
    const lib = await libopenmpt();
    const bytes = fs.readFileSync(module);
    const data = lib._malloc(bytes.length);
    lib.HEAPU8.set(bytes, data);
    const mod = lib._openmpt_module_create_from_memory2(data, bytes.length, 0, 0, 0, 0, 0, 0, 0);
    lib._free(data);
    assert.ok(mod, "the browser's libopenmpt refused the module");
    lib._openmpt_module_set_repeat_count(mod, 0);
    const step = (RATE * STEP_MS) / 1000;
    const buffer = lib._malloc(step * 2 * 4);
    const lines = [];
    for (let ms = 0; ; ms += STEP_MS) {
        const target = Math.floor((ms * RATE) / 1000);
        const have = Math.floor(((ms - STEP_MS) * RATE) / 1000);
        if (ms > 0 && lib._openmpt_module_read_interleaved_float_stereo(mod, RATE, target - have, buffer) < target - have)
            break;
        const order = lib._openmpt_module_get_current_order(mod);
        // At the very end the library reads back to the start: that is the end.
        if (lines.length && order < lines[lines.length - 1][1]) break;
        lines.push([ms, order, lib._openmpt_module_get_current_row(mod)]);
    }
    lib._openmpt_module_destroy(mod);
    return lines;
}

test("the two libopenmpt builds give the show's module the same order/row timeline", async () => {
    assert.ok(fs.existsSync(tool), `no ${tool}: build the native tests first`);
    assert.ok(fs.existsSync(module), `no ${module}: build the show's data first`);
    const native = changes(nativeTimeline());
    const web = changes(await webTimeline());
    assert.ok(native.length > 1000, `only ${native.length} rows natively`);
    let worst = 0;
    for (let i = 0; i < Math.min(native.length, web.length); i++) {
        const [nms, norder, nrow] = native[i];
        const [wms, worder, wrow] = web[i];
        assert.deepEqual([worder, wrow], [norder, nrow], `row ${i}: the web plays ${worder}/${wrow}, native ${norder}/${nrow}`);
        worst = Math.max(worst, Math.abs(wms - nms));
    }
    assert.equal(web.length, native.length, `the two timelines hold ${web.length} and ${native.length} rows (web ends ${web.at(-1)}, native ${native.at(-1)})`);
    // A row reached within two 5-ms steps of the other player.
    assert.ok(worst <= 2 * STEP_MS, `the players drift apart by ${worst} ms`);
    console.log(`${native.length} rows, ${native[native.length - 1][0]} ms, largest gap ${worst} ms`);
});
