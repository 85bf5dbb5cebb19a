// The native messaging host as a browser finds it: a host manifest naming a program, in
// the place the browser reads for the profile under test. The program is a small
// shell script that notes each start and then becomes the real command, such as
// TervagonBridge.exe under Wine; the browser's arguments (the caller) are passed on.
// Wine runs a PE32 program of a 64-bit prefix as a process of its own beside the one
// started (start.exe /exec), so the script also puts a tag of this run and start into
// the environment, which Wine hands on: the tests find the very host that serves a
// call by it, to stop or kill it, and nothing else.
"use strict";

const crypto = require("crypto");
const fs = require("fs");
const path = require("path");

const HOST_NAME = "com.talmoren.tervagon";
const FIREFOX_ADDON_ID = "tervagon@talmoren.com";
const TAG_VARIABLE = "TERVAGON_TEST_HOST";

function shellQuoted(text) {
    return "'" + String(text).replace(/'/g, "'\\''") + "'";
}

// The processes whose environment carries this run's tag: [{ pid, start, argv0, name }],
// start being the id of the script's start that led to it and name the kernel's short
// name of the process (at most 15 bytes), which Wine sets to the program's file name.
// Under user-mode emulation the command line is the emulator's (qemu-i386, then Wine's
// loader, then the program's Windows path), so the short name is what tells a PE32
// program there.
function taggedProcesses(tag) {
    const found = [];
    for (const entry of fs.readdirSync("/proc")) {
        if (!/^[0-9]+$/.test(entry)) continue;
        let environment;
        let commandLine;
        let name;
        try {
            environment = fs.readFileSync(`/proc/${entry}/environ`, "latin1").split("\0");
            commandLine = fs.readFileSync(`/proc/${entry}/cmdline`, "latin1").split("\0");
            name = fs.readFileSync(`/proc/${entry}/comm`, "latin1").trimEnd();
        } catch (error) {
            continue;  // gone, or not ours to read
        }
        const value = environment.find((variable) => variable.startsWith(`${TAG_VARIABLE}=${tag}:`));
        if (value) found.push({ pid: Number(entry), start: Number(value.split(":").pop()), argv0: commandLine[0], name });
    }
    return found;
}

// Writes the script into dir and returns what the tests need of it.
function makeHostProgram(dir, command) {
    fs.mkdirSync(dir, { recursive: true });
    const program = path.join(dir, "tervagon-host.sh");
    const starts = path.join(dir, "host-starts");
    const tag = crypto.randomBytes(8).toString("hex");
    const programName = path.basename(command[command.length - 1]);
    fs.writeFileSync(program, [
        "#!/bin/sh",
        "# Started by the browser for each connection to the host.",
        `echo $$ >>${shellQuoted(starts)}`,
        `${TAG_VARIABLE}=${tag}:$$`,
        `export ${TAG_VARIABLE}`,
        `exec ${command.map(shellQuoted).join(" ")} "$@"`,
        "",
    ].join("\n"), { mode: 0o755 });
    const isProgram = (found) => found.argv0.endsWith(programName) || found.name === programName.slice(0, 15);
    const hosts = () => taggedProcesses(tag).filter((found) => isProgram(found) || found.argv0 === "start.exe");
    return {
        program,
        // The ids of the script's starts so far, oldest first.
        starts() {
            if (!fs.existsSync(starts)) return [];
            return fs.readFileSync(starts, "utf8").split("\n").filter(Boolean).map(Number);
        },
        // The process running the program for the latest start, or null.
        current() {
            const latest = this.starts().at(-1);
            const found = hosts().find((host) => host.start === latest && isProgram(host));
            return found ? found.pid : null;
        },
        // Every process of this run's hosts still there: the programs and Wine's start.exe.
        remaining() {
            return hosts().map((host) => host.pid);
        },
    };
}

function manifest(program, allowed) {
    return JSON.stringify(Object.assign({
        name: HOST_NAME,
        description: "Tervagon: answers the extension with the ActiveX object's checks",
        path: program,
        type: "stdio",
    }, allowed), null, 2) + "\n";
}

// Chromium reads <profile>/NativeMessagingHosts/ when --user-data-dir is given.
function installForChromium(profile, program, extensionId) {
    const file = path.join(profile, "NativeMessagingHosts", `${HOST_NAME}.json`);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, manifest(program, { allowed_origins: [`chrome-extension://${extensionId}/`] }));
    return file;
}

// Firefox on Linux reads ~/.mozilla/native-messaging-hosts/ of the HOME it runs with.
function installForFirefox(home, program) {
    const file = path.join(home, ".mozilla", "native-messaging-hosts", `${HOST_NAME}.json`);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, manifest(program, { allowed_extensions: [FIREFOX_ADDON_ID] }));
    return file;
}

module.exports = { HOST_NAME, FIREFOX_ADDON_ID, makeHostProgram, installForChromium, installForFirefox };

// The id Chromium gives an extension whose manifest carries this key (base64 of the
// DER public key): the first 32 hex digits of the key's SHA-256, 0-f written a-p.
function extensionIdFromKey(base64Key) {
    const digest = require("crypto").createHash("sha256").update(Buffer.from(base64Key.trim(), "base64")).digest("hex");
    return digest.slice(0, 32).replace(/[0-9a-f]/g, (digit) => String.fromCharCode(97 + parseInt(digit, 16)));
}

module.exports.extensionIdFromKey = extensionIdFromKey;
