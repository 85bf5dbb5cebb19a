// What every browser test needs from its CTest entry (environment variables), and the
// same page run in the page host (the ActiveX road) for comparison.
"use strict";

const childProcess = require("child_process");
const path = require("path");

function required(name) {
    const value = process.env[name];
    if (!value) throw new Error(`${name} is not set: run the browser tests through CTest (label browser)`);
    return value;
}

const source = required("TERVAGON_SOURCE_DIR");
const build = required("TERVAGON_BUILD_DIR");
const prefix = required("TERVAGON_WINEPREFIX");

// This test's own folder, by its name: profiles, logs, certificate.
function workFor(name) {
    return path.join(required("TERVAGON_BROWSER_WORK"), name);
}

function sessionOptions(name, extra = {}) {
    return Object.assign({ source, build, prefix, work: workFor(name), pages: path.join(__dirname, "pages") }, extra);
}

// What the page host writes for the example page from this address, on the library.
function pageHostReport(address) {
    return childProcess.execFileSync(path.join(source, "tools", "wine-run.sh"), [
        prefix, path.join(build, "bin", "pagehost.exe"), "--url", address,
        path.join(build, "bin", "tervagon.js"), path.join(build, "bin", "support-page.js"),
    ], { encoding: "utf8", stdio: ["ignore", "pipe", "inherit"] });
}

// The report of the example page in a browser, once its last line is written.
const REPORT_DONE = /(controls are up to date\.|open it from support\.talmoren\.com\.|The check (could not start|stopped): .*)\n$/;

const SELF = "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}";
// The DLL's own file version, the project's version as the build gives it.
const VERSION = required("TERVAGON_VERSION");

// Each test's bound: a test that hangs fails, and the file's after hooks still close
// its browsers and hosts.
const LIMIT = { timeout: 120000 };

module.exports = { source, build, prefix, workFor, sessionOptions, pageHostReport, REPORT_DONE, SELF, VERSION, LIMIT };
