// Debian's Firefox ESR, headless, with a fresh profile, driven through Marionette, its
// own remote protocol (TCP on 127.0.0.1; each message "LENGTH:JSON", a command
// [0, id, name, parameters], its answer [1, id, error, result]). Marionette installs
// the extension as a temporary add-on, which needs no signature. No package is needed.
"use strict";

const childProcess = require("child_process");
const fs = require("fs");
const net = require("net");
const path = require("path");
const { pollUntilTruthy } = require("./poll");

const FIREFOX = "/usr/lib/firefox-esr/firefox-esr";

function preferences(proxyPort) {
    const prefs = {
        "marionette.port": 0,  // any free port; Firefox writes it into the profile
        // Every host, https and http, goes to the test site.
        "network.proxy.type": 1,
        "network.proxy.http": "127.0.0.1",
        "network.proxy.http_port": proxyPort,
        "network.proxy.ssl": "127.0.0.1",
        "network.proxy.ssl_port": proxyPort,
        "network.proxy.no_proxies_on": "",
        // The plain-http page must stay plain http.
        "dom.security.https_first": false,
        "dom.security.https_first_schemeless": false,
        "dom.security.https_only_mode": false,
        // Quiet: no first-run pages, updates, telemetry or remote settings.
        "browser.shell.checkDefaultBrowser": false,
        "browser.startup.homepage_override.mstone": "ignore",
        "browser.aboutwelcome.enabled": false,
        "datareporting.policy.dataSubmissionEnabled": false,
        "toolkit.telemetry.reportingpolicy.firstRun": false,
        "app.update.disabledForTesting": true,
        "extensions.update.enabled": false,
        "extensions.getAddons.cache.enabled": false,
        "services.settings.server": "http://127.0.0.1:1/",
        "network.captive-portal-service.enabled": false,
        "network.connectivity-service.enabled": false,
    };
    return Object.entries(prefs).map(([name, value]) => `user_pref(${JSON.stringify(name)}, ${JSON.stringify(value)});\n`).join("");
}

class Firefox {
    constructor(child, socket) {
        this.child = child;
        this.socket = socket;
        this.nextId = 1;
        this.calls = new Map();
        // Marionette greets first: {"applicationType": "gecko", "marionetteProtocol": 3}.
        this.hello = new Promise((resolve) => { this.onHello = resolve; });
        this.exited = new Promise((resolve) => child.once("exit", (code, signal) => resolve({ code, signal })));
        let buffered = Buffer.alloc(0);
        socket.on("data", (chunk) => {
            buffered = Buffer.concat([buffered, chunk]);
            for (;;) {
                const colon = buffered.indexOf(":");
                if (colon < 0) break;
                const length = Number(buffered.subarray(0, colon).toString());
                if (buffered.length < colon + 1 + length) break;
                const message = JSON.parse(buffered.subarray(colon + 1, colon + 1 + length).toString("utf8"));
                buffered = buffered.subarray(colon + 1 + length);
                this.dispatch(message);
            }
        });
        socket.on("close", () => {
            for (const { reject, name } of this.calls.values()) reject(new Error(`Firefox closed Marionette before it answered ${name}`));
            this.calls.clear();
        });
    }

    // Starts the browser with a fresh profile under dir; home: the HOME it runs with,
    // whose .mozilla/native-messaging-hosts/ holds the host manifest.
    static async launch({ profile, home, proxyPort, log, timeoutMs = 60000 }) {
        fs.mkdirSync(profile, { recursive: true });
        fs.mkdirSync(home, { recursive: true });
        fs.writeFileSync(path.join(profile, "user.js"), preferences(proxyPort));
        const portFile = path.join(profile, "MarionetteActivePort");
        fs.rmSync(portFile, { force: true });
        const output = fs.openSync(log, "a");
        const child = childProcess.spawn(FIREFOX, ["--headless", "--marionette", "--no-remote", "--profile", profile, "about:blank"], {
            stdio: ["ignore", output, output],
            env: Object.assign({}, process.env, { HOME: home, MOZ_HEADLESS: "1", MOZ_CRASHREPORTER_DISABLE: "1" }),
        });
        fs.closeSync(output);
        // A driver that ends early takes its browser along.
        const orphaned = () => child.kill("SIGKILL");
        process.once("exit", orphaned);
        child.once("exit", () => process.removeListener("exit", orphaned));
        const end = Date.now() + timeoutMs;
        let port = null;
        while (port === null) {
            if (child.exitCode !== null) throw new Error(`Firefox ended at start (status ${child.exitCode}); see ${log}`);
            if (Date.now() > end) {
                child.kill("SIGKILL");
                throw new Error(`Firefox did not open Marionette within ${timeoutMs} ms; see ${log}`);
            }
            if (fs.existsSync(portFile)) port = Number(fs.readFileSync(portFile, "utf8").trim()) || null;
            if (port === null) await new Promise((resolve) => setTimeout(resolve, 100));
        }
        const socket = net.connect(port, "127.0.0.1");
        await new Promise((resolve, reject) => {
            socket.once("connect", resolve);
            socket.once("error", reject);
        });
        const browser = new Firefox(child, socket);
        await browser.hello;
        // The test site's certificate is made for the run.
        await browser.send("WebDriver:NewSession", { acceptInsecureCerts: true });
        return browser;
    }

    dispatch(message) {
        if (!Array.isArray(message)) {
            this.onHello(message);
            return;
        }
        const [, id, error, result] = message;
        const call = this.calls.get(id);
        if (!call) return;
        this.calls.delete(id);
        if (error) call.reject(new Error(`${call.name}: ${error.error}: ${error.message}`));
        else call.resolve(result);
    }

    send(name, parameters = {}) {
        const id = this.nextId++;
        const text = Buffer.from(JSON.stringify([0, id, name, parameters]), "utf8");
        return new Promise((resolve, reject) => {
            this.calls.set(id, { resolve, reject, name });
            this.socket.write(`${text.length}:`);
            this.socket.write(text);
        });
    }

    // Installs the extension folder as a temporary add-on; returns its id.
    async installAddon(folder) {
        const result = await this.send("Addon:Install", { path: folder, temporary: true });
        return result.value;
    }

    // Opens url in a new tab (Marionette waits for the page's load).
    async open(url) {
        const { handle } = await this.send("WebDriver:NewWindow", { type: "tab" });
        await this.send("WebDriver:SwitchToWindow", { handle });
        await this.send("WebDriver:Navigate", { url });
        return handle;
    }

    // The value of a script function body in the current tab's page.
    async evaluate(body) {
        const { value } = await this.send("WebDriver:ExecuteScript", { script: body, args: [] });
        return value;
    }

    // Runs the function body in the current tab until it returns a truthy value; returns it.
    async waitFor(body, timeoutMs, what) {
        return pollUntilTruthy(() => this.evaluate(body), timeoutMs, what);
    }

    async close() {
        if (this.child.exitCode === null && this.child.signalCode === null) {
            this.send("Marionette:Quit", { flags: ["eForceQuit"] }).catch(() => {});
            const timer = setTimeout(() => this.child.kill("SIGKILL"), 10000);
            await this.exited;
            clearTimeout(timer);
        }
        this.socket.destroy();
    }
}

module.exports = { Firefox };
