// Which pages and frames get the extension road in Chromium, and what the host answers
// them: judged on each frame's own address, as the browser reports it.
"use strict";

const assert = require("node:assert/strict");
const { test, before, after } = require("node:test");

const { chromiumSession, withReport } = require("../../tools/browser/session");
const { sessionOptions, SELF, VERSION, LIMIT } = require("./context");

const QUESTIONS = JSON.stringify([["getPackageVersion"], ["isValidControl", SELF, VERSION]]);
const ALLOWED = { road: "extension", answers: ["0x02010004", "true"] };
const REFUSED = { road: "extension", answers: ["ERR InvalidDomain", "ERR InvalidDomain"] };
const NO_ROAD = { connect: "unavailable" };

let session;
before(async () => { session = await chromiumSession(sessionOptions("chromium_site_lock")); });
after(async () => { if (session) await session.close(); });

function page(address, label, frame) {
    const url = new URL(address);
    url.searchParams.set("q", QUESTIONS);
    if (frame) url.searchParams.set("frame", frame);
    return withReport(url.href, "site-lock", label);
}

// What a page reported, in the terms of the expectations above.
function outcome(report) {
    const seen = JSON.parse(report.body);
    if (seen.connect) return { connect: seen.connect.code };
    return { road: seen.road, answers: seen.calls.map((call) => call.answer ?? `failure ${call.failure.code}`) };
}

async function expectReport(label, expected) {
    const report = await session.site.waitReport("site-lock", label, 30000);
    assert.deepEqual(outcome(report), expected, `${label} (${report.origin})`);
    return JSON.parse(report.body);
}

const pages = [
    ["a page of support.talmoren.com", "https://support.talmoren.com/t/ask.html", ALLOWED],
    ["a page two labels below talmoren.com", "https://a.b.talmoren.com/t/ask.html", ALLOWED],
    // The content script runs there (the pattern covers the bare domain), and the host refuses it.
    ["a page of the bare domain talmoren.com", "https://talmoren.com/t/ask.html", REFUSED],
    ["a page of evil.example", "https://evil.example/t/ask.html", NO_ROAD],
    ["a page of support.talmoren.com over plain http", "http://support.talmoren.com/t/ask.html", NO_ROAD],
    ["a page of support.talmoren.com.evil.example", "https://support.talmoren.com.evil.example/t/ask.html", NO_ROAD],
    // The content script's pattern takes any port and the trailing dot; the host refuses
    // both, as on the ActiveX road.
    ["a page of support.talmoren.com on port 8443", "https://support.talmoren.com:8443/t/ask.html", REFUSED],
    ["a page of support.talmoren.com. (a trailing dot)", "https://support.talmoren.com./t/ask.html", REFUSED],
];
pages.forEach(([name, address, expected], index) => {
    test(name, LIMIT, async () => {
        const label = `page-${index}`;
        await session.browser.open(page(address, label));
        const seen = await expectReport(label, expected);
        assert.equal(new URL(seen.location).origin, new URL(address).origin, "the page ran where it was meant to");
    });
});

const frames = [
    ["a frame of evil.example in the maker's page gets nothing",
     "https://support.talmoren.com/t/ask.html", ALLOWED, "https://evil.example/t/ask.html", NO_ROAD],
    ["a frame of support.talmoren.com in an evil.example page is judged on its own address",
     "https://evil.example/t/ask.html", NO_ROAD, "https://support.talmoren.com/t/ask.html", ALLOWED],
    ["a frame of the bare domain in the maker's page is judged on its own address",
     "https://support.talmoren.com/t/ask.html", ALLOWED, "https://talmoren.com/t/ask.html", REFUSED],
];
frames.forEach(([name, outer, outerExpected, inner, innerExpected], index) => {
    test(name, LIMIT, async () => {
        const innerAddress = page(inner, `frame-${index}-inner`);
        await session.browser.open(page(outer, `frame-${index}-outer`, innerAddress));
        await expectReport(`frame-${index}-outer`, outerExpected);
        const seen = await expectReport(`frame-${index}-inner`, innerExpected);
        assert.equal(seen.location, innerAddress);
    });
});

test("a foreign frame posting the library's messages to the maker's page gets nothing", LIMIT, async () => {
    const forger = withReport("https://evil.example/t/forge.html", "site-lock", "forger");
    await session.browser.open(withReport(`https://support.talmoren.com/t/listen.html?frame=${encodeURIComponent(forger)}`,
                                          "site-lock", "listener"));
    const received = JSON.parse((await session.site.waitReport("site-lock", "forger", 30000)).body);
    assert.deepEqual(received, [], "the frame got no message back");
    const seen = JSON.parse((await session.site.waitReport("site-lock", "listener", 30000)).body);
    // The maker's page saw the forged messages arrive, and nothing else: no welcome,
    // answer or failure from its content script.
    assert.deepEqual(seen.map((m) => [m.kind, m.fromThisWindow, m.origin]).sort(), [
        ["hello", false, "https://evil.example"], ["hello", false, "https://evil.example"],
        ["request", false, "https://evil.example"], ["request", false, "https://evil.example"],
    ]);
});
