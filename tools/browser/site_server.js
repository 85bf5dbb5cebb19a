// The support site and the hostile sites of the browser tests and benchmarks, all served
// from one port on 127.0.0.1 under made-up names (support.talmoren.com, evil.example,
// ...). The browsers reach it as their proxy: https through CONNECT, into a TLS server
// whose certificate, made with openssl for the run, names those hosts; plain http as
// proxy requests. So every host and both schemes land here, with the name the browser
// asked for, and nothing else of the machine or the network is involved.
//
// Every host serves the same files; a page learns where it runs from its own address.
// Pages report what they saw with POST /report?run=RUN&label=LABEL, and the tests wait
// for those reports (waitReport), whichever frame, host or browser sent them.
"use strict";

const childProcess = require("child_process");
const crypto = require("crypto");
const fs = require("fs");
const http = require("http");
const https = require("https");
const path = require("path");

const CONTENT_TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".txt": "text/plain; charset=utf-8",
};
const MAX_REPORT_BYTES = 1 << 20;

// A self-signed certificate for the made-up hosts, with the base64 SHA-256 of its
// public key, which Chromium is told to accept (--ignore-certificate-errors-spki-list).
function makeCertificate(dir, names) {
    const key = path.join(dir, "site-key.pem");
    const cert = path.join(dir, "site-cert.pem");
    childProcess.execFileSync("openssl", [
        "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
        "-days", "2", "-subj", "/CN=Tervagon browser tests", "-keyout", key, "-out", cert,
        "-addext", "subjectAltName=" + names.map((name) => "DNS:" + name).join(","),
    ], { stdio: ["ignore", "ignore", "pipe"] });
    const publicKey = new crypto.X509Certificate(fs.readFileSync(cert)).publicKey;
    const spki = crypto.createHash("sha256").update(publicKey.export({ type: "spki", format: "der" })).digest("base64");
    return { key: fs.readFileSync(key), cert: fs.readFileSync(cert), spki };
}

// files: { "/url/path": "/file/path" }; directories: { "/url/prefix/": "/dir/" }.
async function startSite({ dir, hosts, files = {}, directories = {} }) {
    const certificate = makeCertificate(dir, hosts);
    const reports = new Map();  // "run/label" -> { body, origin }
    const waiters = new Map();  // "run/label" -> [resolve]

    function fileFor(urlPath) {
        if (Object.prototype.hasOwnProperty.call(files, urlPath)) return files[urlPath];
        for (const [prefix, root] of Object.entries(directories)) {
            if (!urlPath.startsWith(prefix)) continue;
            const name = urlPath.slice(prefix.length);
            // Names only: no way out of the folder.
            if (/^[A-Za-z0-9_.-]+$/.test(name) && !name.startsWith(".")) return path.join(root, name);
        }
        return null;
    }

    function record(key, entry) {
        reports.set(key, entry);
        for (const resolve of waiters.get(key) || []) resolve(entry);
        waiters.delete(key);
    }

    function handle(request, response) {
        const scheme = request.socket.encrypted ? "https" : "http";
        const host = String(request.headers.host || "");
        // A proxy request names the whole address; a direct one only the path.
        const url = new URL(request.url, `${scheme}://${host}`);
        if (url.pathname === "/report" && request.method === "POST") {
            const chunks = [];
            let size = 0;
            request.on("data", (chunk) => {
                size += chunk.length;
                if (size <= MAX_REPORT_BYTES) chunks.push(chunk);
            });
            request.on("end", () => {
                const key = `${url.searchParams.get("run")}/${url.searchParams.get("label")}`;
                record(key, { body: Buffer.concat(chunks).toString("utf8"), origin: `${scheme}://${host}` });
                response.writeHead(204, { "Cache-Control": "no-store" });
                response.end();
            });
            return;
        }
        const file = fileFor(url.pathname);
        if (file === null || !fs.existsSync(file)) {
            response.writeHead(404, { "Content-Type": "text/plain" });
            response.end("not found\n");
            return;
        }
        response.writeHead(200, {
            "Content-Type": CONTENT_TYPES[path.extname(file)] || "application/octet-stream",
            "Cache-Control": "no-store",
        });
        response.end(fs.readFileSync(file));
    }

    const tls = https.createServer({ key: certificate.key, cert: certificate.cert }, handle);
    const proxy = http.createServer(handle);
    proxy.on("connect", (request, socket, head) => {
        // Every CONNECT is to the site: the TLS server takes the tunnel over.
        socket.write("HTTP/1.1 200 Connection Established\r\n\r\n");
        if (head.length > 0) socket.unshift(head);
        tls.emit("connection", socket);
    });
    const sockets = new Set();
    proxy.on("connection", (socket) => {
        sockets.add(socket);
        socket.on("close", () => sockets.delete(socket));
    });
    await new Promise((resolve, reject) => {
        proxy.once("error", reject);
        proxy.listen(0, "127.0.0.1", resolve);
    });

    return {
        port: proxy.address().port,
        spki: certificate.spki,
        // The report a page posts under this label, once it has come.
        waitReport(run, label, timeoutMs) {
            const key = `${run}/${label}`;
            if (reports.has(key)) return Promise.resolve(reports.get(key));
            return new Promise((resolve, reject) => {
                const timer = setTimeout(() => reject(new Error(`no report ${label} within ${timeoutMs} ms`)), timeoutMs);
                const list = waiters.get(key) || [];
                list.push((entry) => { clearTimeout(timer); resolve(entry); });
                waiters.set(key, list);
            });
        },
        close() {
            for (const socket of sockets) socket.destroy();
            return new Promise((resolve) => proxy.close(() => resolve()));
        },
    };
}

module.exports = { startSite };
