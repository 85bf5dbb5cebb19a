// The example support page in Chromium through the extension shows, byte for byte, the
// report the page host shows through the ActiveX object; and pages asking at once each
// get their own answers, over the one connection the extension keeps to the host.
"use strict";

const assert = require("node:assert/strict");
const { test, before, after } = require("node:test");

const { chromiumSession, withReport } = require("../../tools/browser/session");
const { sessionOptions, pageHostReport, REPORT_DONE, SELF, VERSION, LIMIT } = require("./context");

let session;
before(async () => { session = await chromiumSession(sessionOptions("chromium_pages")); });
after(async () => { if (session) await session.close(); });

async function browserReport(address) {
    const page = await session.browser.open(address);
    const expression = `(function () {
        var report = document.getElementById("report").textContent;
        return ${REPORT_DONE}.test(report) ? report : null;
    })()`;
    return page.waitFor(expression, 60000, `the example page's report at ${address}`);
}

test("the extension's id is the one its key gives, which the host allows", LIMIT, async () => {
    assert.equal(await session.browser.extensionId(), session.extensionId);
});

// The allowed page, and a page of the domain that the object refuses (the bare domain):
// the site lock's verdict and every answer text are the same on both roads.
for (const address of ["https://support.talmoren.com/checkup/", "https://talmoren.com/checkup/"]) {
    test(`the example page at ${address} shows the page host's report`, LIMIT, async () => {
        const inBrowser = await browserReport(address);
        assert.equal(inBrowser, pageHostReport(address));
        assert.match(inBrowser, /getPackageVersion\(\) = "(0x02010004|ERR InvalidDomain)"/);
    });
}

test("the example page on a foreign host says that it could not start", LIMIT, async () => {
    const report = await browserReport("https://support.talmoren.com.evil.example/checkup/");
    assert.match(report, /\nThe check could not start: This browser can't check your computer: .*\n$/);
});

test("ten pages asking at once each get their own answers", LIMIT, async () => {
    // Each page asks a version of its own, and half of them from a host the object
    // refuses: an answer that went to the wrong page shows.
    const pages = Array.from({ length: 10 }, (_, index) => {
        const refused = index % 2 === 1;
        const wanted = index === 4 ? VERSION : `1.0.${index}.9`;
        const questions = [["isValidControl", SELF, wanted], ["getPackageVersion"], ["isValidControl", SELF, wanted]];
        const url = new URL(`https://${refused ? "talmoren.com" : "support.talmoren.com"}/t/ask.html`);
        url.searchParams.set("q", JSON.stringify(questions));
        url.searchParams.set("page", String(index));  // so that no two addresses are the same
        const answer = refused ? "ERR InvalidDomain" : wanted === VERSION ? "true" : "false";
        return {
            address: withReport(url.href, "parallel", `page-${index}`),
            expected: [answer, refused ? "ERR InvalidDomain" : "0x02010004", answer],
        };
    });
    const startsBefore = session.host.starts().length;
    await Promise.all(pages.map((page) => session.browser.open(page.address)));
    for (const [index, page] of pages.entries()) {
        const seen = JSON.parse((await session.site.waitReport("parallel", `page-${index}`, 60000)).body);
        assert.equal(seen.location, page.address);
        assert.deepEqual(seen.calls.map((call) => call.answer ?? call.failure.code), page.expected, `page ${index}`);
    }
    assert.ok(session.host.starts().length - startsBefore <= 1, "the pages shared one host connection");
});
