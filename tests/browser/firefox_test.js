// The same extension in Firefox ESR, installed as a temporary add-on through Marionette:
// the example page's report equals the page host's, the site lock holds per frame, and
// a missing or killed host is its own failure.
"use strict";

const assert = require("node:assert/strict");
const { test, before, after } = require("node:test");

const { firefoxSession, withReport } = require("../../tools/browser/session");
const { sessionOptions, pageHostReport, REPORT_DONE, LIMIT } = require("./context");

const sessions = [];
let session;
before(async () => {
    session = await firefoxSession(sessionOptions("firefox"));
    sessions.push(session);
});
after(async () => { for (const opened of sessions) await opened.close(); });

test("the example page at https://support.talmoren.com/checkup/ shows the page host's report", LIMIT, async () => {
    const address = "https://support.talmoren.com/checkup/";
    await session.browser.open(address);
    const report = await session.browser.waitFor(`
        var report = document.getElementById("report").textContent;
        return ${REPORT_DONE}.test(report) ? report : null;`, 60000, "the example page's report");
    assert.equal(report, pageHostReport(address));
});

function outcome(report) {
    const seen = JSON.parse(report.body);
    return seen.connect ? seen.connect.code : seen.calls.map((call) => call.answer ?? `failure ${call.failure.code}`).join(" ");
}

const cases = [
    ["a page of evil.example gets no extension road", "https://evil.example/t/ask.html", null, "unavailable"],
    ["a page of support.talmoren.com over plain http gets no extension road", "http://support.talmoren.com/t/ask.html", null,
     "unavailable"],
    ["a page of the bare domain is refused by the host", "https://talmoren.com/t/ask.html", null, "ERR InvalidDomain"],
    ["a frame of support.talmoren.com in an evil.example page is judged on its own address",
     "https://evil.example/t/ask.html", "https://support.talmoren.com/t/ask.html", "unavailable", "0x02010004"],
    ["a frame of evil.example in the maker's page gets nothing",
     "https://support.talmoren.com/t/ask.html", "https://evil.example/t/ask.html", "0x02010004", "unavailable"],
];
cases.forEach(([name, outer, inner, outerExpected, innerExpected], index) => {
    test(name, LIMIT, async () => {
        const url = new URL(outer);
        const innerAddress = inner ? withReport(inner, "firefox", `case-${index}-inner`) : null;
        if (innerAddress) url.searchParams.set("frame", innerAddress);
        await session.browser.open(withReport(url.href, "firefox", `case-${index}`));
        assert.equal(outcome(await session.site.waitReport("firefox", `case-${index}`, 30000)), outerExpected);
        if (innerAddress) {
            const report = await session.site.waitReport("firefox", `case-${index}-inner`, 30000);
            assert.equal(outcome(report), innerExpected);
            assert.equal(JSON.parse(report.body).location, innerAddress);
        }
    });
});

const ASK = 'return ask("getPackageVersion");';

test("the host killed during a call: host-failed, then the next call works", LIMIT, async () => {
    await session.browser.open("https://support.talmoren.com/t/console.html");
    assert.equal(await session.browser.waitFor("return window.connected;", 20000, "the handshake"), "extension");
    assert.deepEqual(await session.browser.evaluate(ASK), { answer: "0x02010004" });
    const first = session.host.current();
    assert.ok(first, "a host is running");
    process.kill(first, "SIGSTOP");
    await session.browser.evaluate('window.pending = ask("getPackageVersion"); return 1;');
    await new Promise((resolve) => setTimeout(resolve, 500));
    process.kill(first, "SIGKILL");
    assert.equal((await session.browser.evaluate("return window.pending;")).failure, "host-failed");
    assert.deepEqual(await session.browser.evaluate(ASK), { answer: "0x02010004" });
});

test("no host installed: no-host", LIMIT, async () => {
    const bare = await firefoxSession(sessionOptions("firefox_no_host", { withHost: false }));
    sessions.push(bare);
    await bare.browser.open("https://support.talmoren.com/t/console.html");
    assert.equal(await bare.browser.waitFor("return window.connected;", 20000, "the handshake"), "extension");
    assert.equal((await bare.browser.evaluate(ASK)).failure, "no-host");
});
