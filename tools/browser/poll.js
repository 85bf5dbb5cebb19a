// Waiting on a page: its state changes on its own time (a handshake, a host's answer),
// so the drivers ask again every 100 ms until the value is there or the time is up.
"use strict";

// Calls read until it gives a truthy value and returns that value; a read that fails
// counts as not yet (the page may be between documents). Throws, naming what, when
// timeoutMs pass first.
async function pollUntilTruthy(read, timeoutMs, what) {
    const end = Date.now() + timeoutMs;
    for (;;) {
        const value = await read().catch(() => null);
        if (value) return value;
        if (Date.now() > end) throw new Error(`${what}: not within ${timeoutMs} ms`);
        await new Promise((resolve) => setTimeout(resolve, 100));
    }
}

module.exports = { pollUntilTruthy };
