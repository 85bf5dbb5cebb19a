// Debian's Chromium, headless, with the extension loaded and a fresh profile, driven
// through the DevTools protocol over --remote-debugging-pipe (the browser reads
// commands on its fd 3 and writes answers and events on fd 4, each a JSON text ended
// by a NUL byte). No package is needed for it.
"use strict";

const childProcess = require("child_process");
const fs = require("fs");
const { pollUntilTruthy } = require("./poll");

const CHROMIUM = "/usr/lib/chromium/chromium";

class Chromium {
    constructor(child) {
        this.child = child;
        this.nextId = 1;
        this.calls = new Map();      // id -> { resolve, reject, method }
        this.listeners = new Set();  // fn(message) for every event
        this.exited = new Promise((resolve) => child.once("exit", (code, signal) => resolve({ code, signal })));
        let buffered = Buffer.alloc(0);
        child.stdio[4].on("data", (chunk) => {
            buffered = Buffer.concat([buffered, chunk]);
            for (let end; (end = buffered.indexOf(0)) >= 0;) {
                const message = JSON.parse(buffered.subarray(0, end).toString("utf8"));
                buffered = buffered.subarray(end + 1);
                this.dispatch(message);
            }
        });
        this.exited.then(({ code, signal }) => {
            for (const { reject, method } of this.calls.values()) {
                reject(new Error(`Chromium ended (${code ?? signal}) before it answered ${method}`));
            }
            this.calls.clear();
        });
    }

    // Starts the browser. profile: a fresh folder (its NativeMessagingHosts/ holds the
    // host manifests); proxyPort: the site server; spki: its certificate's key pin.
    static async launch({ extensionDir, profile, proxyPort, spki, log }) {
        fs.mkdirSync(profile, { recursive: true });
        const args = [
            "--headless=new", "--no-sandbox", `--user-data-dir=${profile}`, "--remote-debugging-pipe",
            `--proxy-server=http://127.0.0.1:${proxyPort}`,
            `--ignore-certificate-errors-spki-list=${spki}`,
            `--disable-extensions-except=${extensionDir}`, `--load-extension=${extensionDir}`,
            "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--disable-gpu", "--disable-dev-shm-usage",
            // The plain-http page must stay plain http: no upgrade attempt to https first.
            "--disable-features=HttpsUpgrades,HttpsFirstBalancedModeAutoEnable",
            "about:blank",
        ];
        const output = fs.openSync(log, "a");
        const child = childProcess.spawn(CHROMIUM, args, { stdio: ["ignore", output, output, "pipe", "pipe"] });
        fs.closeSync(output);
        // A driver that ends early takes its browser along.
        const orphaned = () => child.kill("SIGKILL");
        process.once("exit", orphaned);
        child.once("exit", () => process.removeListener("exit", orphaned));
        const browser = new Chromium(child);
        await browser.send("Target.setDiscoverTargets", { discover: true });
        return browser;
    }

    dispatch(message) {
        if (message.id !== undefined) {
            const call = this.calls.get(message.id);
            if (!call) return;
            this.calls.delete(message.id);
            if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
            else call.resolve(message.result);
            return;
        }
        for (const listener of this.listeners) listener(message);
    }

    send(method, params = {}, sessionId = undefined) {
        const id = this.nextId++;
        const message = { id, method, params };
        if (sessionId) message.sessionId = sessionId;
        return new Promise((resolve, reject) => {
            this.calls.set(id, { resolve, reject, method });
            this.child.stdio[3].write(JSON.stringify(message) + "\0");
        });
    }

    // The first event for which test(message) is true, within timeoutMs.
    waitEvent(test, timeoutMs, what) {
        return new Promise((resolve, reject) => {
            const listener = (message) => {
                if (!test(message)) return;
                clearTimeout(timer);
                this.listeners.delete(listener);
                resolve(message);
            };
            const timer = setTimeout(() => {
                this.listeners.delete(listener);
                reject(new Error(`no ${what} within ${timeoutMs} ms`));
            }, timeoutMs);
            this.listeners.add(listener);
        });
    }

    // The id of the loaded extension, from its worker's address.
    async extensionId(timeoutMs = 20000) {
        const isWorker = (info) => info.type === "service_worker" && info.url.startsWith("chrome-extension://");
        const waiting = this.waitEvent(
            (m) => m.method === "Target.targetCreated" && isWorker(m.params.targetInfo), timeoutMs, "extension worker");
        const { targetInfos } = await this.send("Target.getTargets");
        const found = targetInfos.find(isWorker) || (await waiting).params.targetInfo;
        waiting.catch(() => {});
        return new URL(found.url).host;
    }

    // A new tab at url; its page's scripts can be evaluated through the returned page.
    async open(url) {
        const { targetId } = await this.send("Target.createTarget", { url });
        const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
        return new Page(this, targetId, sessionId);
    }

    async close() {
        if (this.child.exitCode === null && this.child.signalCode === null) {
            this.send("Browser.close").catch(() => {});
            const timer = setTimeout(() => this.child.kill("SIGKILL"), 5000);
            await this.exited;
            clearTimeout(timer);
        }
    }
}

class Page {
    constructor(browser, targetId, sessionId) {
        this.browser = browser;
        this.targetId = targetId;
        this.sessionId = sessionId;
    }

    // The value of a script expression in the page (a promise is waited for).
    async evaluate(expression) {
        const { result, exceptionDetails } = await this.browser.send("Runtime.evaluate", {
            expression, awaitPromise: true, returnByValue: true,
        }, this.sessionId);
        if (exceptionDetails) {
            throw new Error(`in the page: ${exceptionDetails.exception ? exceptionDetails.exception.description : exceptionDetails.text}`);
        }
        return result.value;
    }

    // Polls expression until it is truthy; returns its last value.
    async waitFor(expression, timeoutMs, what) {
        return pollUntilTruthy(() => this.evaluate(expression), timeoutMs, what);
    }

    close() {
        return this.browser.send("Target.closeTarget", { targetId: this.targetId });
    }
}

module.exports = { Chromium };
