// One browser run of the tests and benchmarks: the test site, a fresh profile with the
// extension loaded, and the native messaging host TervagonBridge.exe under Wine in the
// given prefix (where the DLL must be registered), installed for that profile.
"use strict";

const fs = require("fs");
const path = require("path");

const { startSite } = require("./site_server");
const { Chromium } = require("./chromium");
const { Firefox } = require("./firefox");
const host = require("./native_host");

// The made-up names the test certificate covers; the browsers reach each through the
// site, which is their proxy.
const HOSTS = [
    "support.talmoren.com", "talmoren.com", "*.talmoren.com", "a.b.talmoren.com",
    "evil.example", "*.evil.example", "support.talmoren.com.evil.example",
];

// source, build: the source and build folders; prefix: the Wine prefix; work: a folder
// of this run's own; pages: a folder served as /t/ on every host.
function paths({ source, build }) {
    return {
        extensionKey: path.join(source, "extension", "key.pub.b64"),
        bridge: path.join(build, "bin", "TervagonBridge.exe"),
        wineRun: path.join(source, "tools", "wine-run.sh"),
        files: {
            "/tervagon.js": path.join(build, "bin", "tervagon.js"),
            "/checkup/": path.join(build, "bin", "support-page.html"),
            "/checkup/tervagon.js": path.join(build, "bin", "tervagon.js"),
        },
    };
}

// The browsers need absolute paths (a host manifest's path, a profile, HOME), and the
// host runs in a folder of the browser's choosing: every folder is made absolute here.
function absolute(options) {
    const made = Object.assign({}, options);
    for (const name of ["source", "build", "prefix", "work", "pages"]) made[name] = path.resolve(options[name]);
    return made;
}

async function openSite(options) {
    fs.rmSync(options.work, { recursive: true, force: true });
    fs.mkdirSync(options.work, { recursive: true });
    const where = paths(options);
    const site = await startSite({ dir: options.work, hosts: HOSTS, files: where.files, directories: { "/t/": options.pages } });
    const program = host.makeHostProgram(path.join(options.work, "host"), [where.wineRun, options.prefix, where.bridge]);
    return { where, site, program };
}

// withHost false: the profile has no host manifest, as a machine without the program.
async function chromiumSession(given) {
    const options = absolute(given);
    const { where, site, program } = await openSite(options);
    const extensionId = host.extensionIdFromKey(fs.readFileSync(where.extensionKey, "utf8"));
    const profile = path.join(options.work, "chromium-profile");
    if (options.withHost !== false) host.installForChromium(profile, program.program, extensionId);
    let browser;
    try {
        browser = await Chromium.launch({
            extensionDir: path.join(options.build, "bin", "extension", "chromium"),
            profile, proxyPort: site.port, spki: site.spki, log: path.join(options.work, "chromium.log"),
        });
    } catch (error) {
        await site.close();
        throw error;
    }
    return {
        site, browser, host: program, extensionId,
        async close() {
            await browser.close();
            await site.close();
            stopHosts(program);
        },
    };
}

async function firefoxSession(given) {
    const options = absolute(given);
    const { site, program } = await openSite(options);
    const home = path.join(options.work, "firefox-home");
    if (options.withHost !== false) host.installForFirefox(home, program.program);
    let browser;
    try {
        browser = await Firefox.launch({
            profile: path.join(options.work, "firefox-profile"), home, proxyPort: site.port,
            log: path.join(options.work, "firefox.log"),
        });
        const addon = await browser.installAddon(path.join(options.build, "bin", "extension", "firefox"));
        if (addon !== host.FIREFOX_ADDON_ID) throw new Error(`the add-on was installed as ${addon}`);
    } catch (error) {
        if (browser) await browser.close();
        await site.close();
        throw error;
    }
    return {
        site, browser, host: program,
        async close() {
            await browser.close();
            await site.close();
            stopHosts(program);
        },
    };
}

// A host that a test stopped, or that its browser left behind, goes with the session.
function stopHosts(program) {
    for (const pid of program.remaining()) {
        try {
            process.kill(pid, "SIGKILL");
        } catch (error) {
            // Gone meanwhile.
        }
    }
}

// An address with the run's report fields added to its query.
function withReport(address, run, label) {
    const url = new URL(address);
    url.searchParams.set("run", run);
    url.searchParams.set("label", label);
    return url.href;
}

module.exports = { HOSTS, chromiumSession, firefoxSession, withReport };
