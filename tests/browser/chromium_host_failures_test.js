// What a page gets when the program behind the extension is missing, ends during a call
// or stops answering: each its own failure, never an answer text; and the next
// question works again, through a new host.
"use strict";

const assert = require("node:assert/strict");
const { test, after } = require("node:test");

const { chromiumSession } = require("../../tools/browser/session");
const { sessionOptions, VERSION, LIMIT } = require("./context");

const CONSOLE = "https://support.talmoren.com/t/console.html";
const sessions = [];
after(async () => { for (const session of sessions) await session.close(); });

async function openConsole(name, options) {
    const session = await chromiumSession(sessionOptions(name, options));
    sessions.push(session);
    const page = await session.browser.open(CONSOLE);
    assert.equal(await page.waitFor("window.connected", 20000, "the page's handshake"), "extension");
    return { session, page };
}

const ask = (page, expression) => page.evaluate(expression);

// The process of the host serving the calls now.
function currentHost(session) {
    const pid = session.host.current();
    assert.ok(pid, "a host is running");
    return pid;
}

test("no host installed: no-host, for every question", LIMIT, async () => {
    const { page } = await openConsole("chromium_no_host", { withHost: false });
    for (let i = 0; i < 2; i++) {
        const reply = await ask(page, 'ask("getPackageVersion")');
        assert.equal(reply.failure, "no-host");
        assert.match(reply.message, /Tervagon program it needs is not/);
    }
});

test("the host killed during a call: host-failed, then the next call works through a new host", LIMIT, async () => {
    const { session, page } = await openConsole("chromium_host_killed");
    assert.deepEqual(await ask(page, 'ask("getPackageVersion")'), { answer: "0x02010004" });
    const first = currentHost(session);
    // Stopped, the host can't answer: the call is surely under way when it is killed.
    process.kill(first, "SIGSTOP");
    await ask(page, 'window.pending = ask("getControlVersion", "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}"), 1');
    await new Promise((resolve) => setTimeout(resolve, 500));
    process.kill(first, "SIGKILL");
    const reply = await ask(page, "window.pending");
    assert.equal(reply.failure, "host-failed");
    assert.match(reply.message, /stopped before it answered/);
    assert.deepEqual(await ask(page, `ask("isValidControl", "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}", "${VERSION}")`),
                     { answer: "true" });
    assert.notEqual(currentHost(session), first, "a new host answered");
});

test("a host that stops answering: timeout, then the next call works through a new host", LIMIT, async () => {
    const { session, page } = await openConsole("chromium_host_stalled");
    assert.deepEqual(await ask(page, 'ask("getPackageVersion")'), { answer: "0x02010004" });
    const stalled = currentHost(session);
    process.kill(stalled, "SIGSTOP");
    try {
        const reply = await ask(page, 'ask("getPackageVersion")');
        assert.equal(reply.failure, "timeout");
        assert.match(reply.message, /did not answer in time/);
    } finally {
        if (session.host.remaining().includes(stalled)) process.kill(stalled, "SIGKILL");
    }
    assert.deepEqual(await ask(page, 'ask("getPackageVersion")'), { answer: "0x02010004" });
    assert.notEqual(currentHost(session), stalled, "a new host answered");
});
