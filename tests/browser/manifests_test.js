// The extension as the build assembles it for each browser family, read as the browsers
// and stores will: the same scripts and content-script rule everywhere, nothing beyond
// native messaging asked for, the ids the host allows, the release's version.
"use strict";

const assert = require("node:assert/strict");
const fs = require("fs");
const path = require("path");
const { test } = require("node:test");

const { extensionIdFromKey } = require("../../tools/browser/native_host");

const source = process.env.TERVAGON_SOURCE_DIR;
const build = process.env.TERVAGON_BUILD_DIR;
const expected = {
    version: process.env.TERVAGON_VERSION,
    extensionId: process.env.TERVAGON_EXTENSION_ID,
    addonId: process.env.TERVAGON_FIREFOX_ADDON_ID,
    hostName: process.env.TERVAGON_BRIDGE_HOST_NAME,
};
for (const [name, value] of Object.entries({ source, build, ...expected })) {
    if (!value) throw new Error(`${name} is not given: run this test through CTest`);
}

const FAMILIES = ["chromium", "chromium-store", "firefox"];
const folder = (family) => path.join(build, "bin", "extension", family);
const manifest = (family) => JSON.parse(fs.readFileSync(path.join(folder(family), "manifest.json"), "utf8"));

test("each family has the manifest and the two scripts, as written in extension/", () => {
    for (const family of FAMILIES) {
        assert.deepEqual(fs.readdirSync(folder(family)).sort(), ["content.js", "manifest.json", "worker.js"], family);
        for (const script of ["content.js", "worker.js"]) {
            assert.ok(fs.readFileSync(path.join(folder(family), script)).equals(fs.readFileSync(path.join(source, "extension", script))),
                      `${family}/${script}`);
        }
    }
});

test("the content script: https pages of talmoren.com only, every frame, before the page's scripts", () => {
    for (const family of FAMILIES) {
        assert.deepEqual(manifest(family).content_scripts, [{
            matches: ["https://*.talmoren.com/*"], js: ["content.js"], all_frames: true, run_at: "document_start",
        }], family);
    }
});

test("nothing is asked for beyond native messaging, and nothing is open to pages or other extensions", () => {
    for (const family of FAMILIES) {
        const read = manifest(family);
        assert.equal(read.manifest_version, 3, family);
        assert.deepEqual(read.permissions, ["nativeMessaging"], family);
        for (const key of ["host_permissions", "optional_permissions", "optional_host_permissions",
                           "externally_connectable", "web_accessible_resources", "content_security_policy"]) {
            assert.equal(read[key], undefined, `${family} has ${key}`);
        }
    }
});

test("the worker: a service worker in Chromium, a background script in Firefox", () => {
    assert.deepEqual(manifest("chromium").background, { service_worker: "worker.js" });
    assert.deepEqual(manifest("chromium-store").background, { service_worker: "worker.js" });
    assert.deepEqual(manifest("firefox").background, { scripts: ["worker.js"] });
});

test("every family carries the release's version", () => {
    for (const family of FAMILIES) assert.equal(manifest(family).version, expected.version, family);
});

test("ids: the key gives the id the host allows; the store copy has no key; Firefox's add-on id is the host's", () => {
    const key = fs.readFileSync(path.join(source, "extension", "key.pub.b64"), "utf8").trim();
    assert.equal(manifest("chromium").key, key);
    assert.equal(extensionIdFromKey(manifest("chromium").key), expected.extensionId);
    const withoutKey = manifest("chromium");
    delete withoutKey.key;
    assert.deepEqual(manifest("chromium-store"), withoutKey);
    assert.equal(manifest("firefox").key, undefined);
    assert.equal(manifest("firefox").browser_specific_settings.gecko.id, expected.addonId);
});

test("the worker asks the host by the name the PE32 host is installed under", () => {
    const worker = fs.readFileSync(path.join(source, "extension", "worker.js"), "utf8");
    assert.match(worker, new RegExp(`\\nvar HOST_NAME = "${expected.hostName.replace(/\./g, "\\.")}";\\n`));
});
