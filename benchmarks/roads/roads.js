// The extension road's costs, printed: in headless Chromium and Firefox ESR, with the
// extension and TervagonBridge.exe under Wine (the prefix must have the DLL registered),
// a page's first answer through a new host and through the running one, and the cost
// of one question after another over the kept connection.
//   node benchmarks/roads/roads.js --source DIR --build DIR --prefix PREFIX --work DIR [--calls N]
"use strict";

const path = require("path");
const { chromiumSession, firefoxSession } = require("../../tools/browser/session");

function options() {
    const given = {};
    const args = process.argv.slice(2);
    for (let i = 0; i + 1 < args.length; i += 2) given[args[i].replace(/^--/, "")] = args[i + 1];
    for (const name of ["source", "build", "prefix", "work"]) {
        if (!given[name]) throw new Error(`--${name} is needed`);
    }
    return { ...given, calls: Number(given.calls || 200) };
}

function figures(times) {
    const sorted = [...times].sort((a, b) => a - b);
    const at = (share) => sorted[Math.min(sorted.length - 1, Math.floor(share * sorted.length))];
    const mean = sorted.reduce((sum, time) => sum + time, 0) / sorted.length;
    return `median ${at(0.5).toFixed(2)} ms, mean ${mean.toFixed(2)} ms, 95th percentile ${at(0.95).toFixed(2)} ms`;
}

async function measure(title, open, given) {
    const started = Date.now();
    const session = await open({
        source: given.source, build: given.build, prefix: given.prefix,
        work: path.join(given.work, title.toLowerCase().replace(/[^a-z]+/g, "-")), pages: path.join(__dirname, "pages"),
    });
    const startMs = Date.now() - started;
    try {
        const run = async (label) => {
            await session.browser.open(`https://support.talmoren.com/t/bench.html?calls=${given.calls}&run=bench&label=${label}`);
            const outcome = JSON.parse((await session.site.waitReport("bench", label, 120000)).body);
            if (outcome.error || outcome.road !== "extension") throw new Error(`${title}, ${label}: ${outcome.error || outcome.road}`);
            return outcome;
        };
        const cold = await run("new-host");
        const warm = await run("running-host");
        console.log(`== Page library, extension road: ${title}`);
        console.log(`browser start with the extension: ${startMs} ms`);
        console.log(`handshake with the content script: ${cold.connectMs.toFixed(1)} ms`);
        console.log(`first answer, a new host (Wine starts TervagonBridge.exe): ${cold.firstAnswerMs.toFixed(1)} ms`);
        console.log(`first answer, the host already running: ${warm.firstAnswerMs.toFixed(1)} ms`);
        console.log(`per call (${given.calls} calls one after another): ${figures(cold.callMs.concat(warm.callMs))}`);
        console.log();
    } finally {
        await session.close();
    }
}

(async () => {
    const given = options();
    let failed = false;
    for (const [title, open] of [["Chromium", chromiumSession], ["Firefox ESR", firefoxSession]]) {
        try {
            await measure(title, open, given);
        } catch (error) {
            console.log(`== Page library, extension road: ${title}: not measured, ${error.message}`);
            failed = true;
        }
    }
    process.exit(failed ? 1 : 0);
})();
