// Plays orders of the show in a chromium window with its sound on, as a
// visitor's browser does: for the sound server test, which records what the
// page plays. Usage: node play.mjs PAGE_DIR START END
import { browser, serve, until } from "./webdriver.mjs";

const [dir, start, end] = process.argv.slice(2);
const server = await serve(dir);
const chromium = await browser({ headless: false, sound: true });
let ended = false;
try {
    await chromium.open(`${server.url}?start=${start}&end=${end}&autoplay`);
    ended = await until(() => chromium.run("return !!(window.quietHarbor && window.quietHarbor.ended);"), 60000);
} finally {
    await chromium.close();
    server.stop();
}
if (!ended) {
    console.log("the page did not reach its end");
    process.exit(1);
}
