// A foreign frame that speaks the library's message shape to the page around it: a
// handshake and a question, sent to its parent and to the top window. It reports every
// message that comes back to it.
(function () {
    "use strict";
    var params = new URLSearchParams(location.search);
    var received = [];
    window.addEventListener("message", function (event) {
        received.push({ data: event.data, origin: event.origin });
    });
    var targets = [window.parent, window.top];
    for (var i = 0; i < targets.length; i++) {
        targets[i].postMessage({ channel: "tervagon", kind: "hello", id: "forged-hello-" + i }, "*");
        targets[i].postMessage({ channel: "tervagon", kind: "request", id: "forged-request-" + i,
                                 method: "getPackageVersion", args: [] }, "*");
    }
    setTimeout(function () {
        fetch("/report?run=" + encodeURIComponent(params.get("run")) + "&label=" + encodeURIComponent(params.get("label")),
              { method: "POST", body: JSON.stringify(received) });
    }, 2000);
}());
