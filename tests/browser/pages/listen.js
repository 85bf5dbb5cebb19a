// The maker's page with a foreign frame in it (the query's frame): it writes down every
// message of the library's shape that reaches its window, and from where, for a while,
// then reports them. The content script must not have answered anything the frame sent.
(function () {
    "use strict";
    var params = new URLSearchParams(location.search);
    var seen = [];
    window.addEventListener("message", function (event) {
        var data = event.data;
        if (!data || data.channel !== "tervagon") return;
        seen.push({ kind: data.kind, id: data.id, fromThisWindow: event.source === window, origin: event.origin });
    });
    var frame = document.createElement("iframe");
    frame.src = params.get("frame");
    document.documentElement.appendChild(frame);
    setTimeout(function () {
        fetch("/report?run=" + encodeURIComponent(params.get("run")) + "&label=" + encodeURIComponent(params.get("label")),
              { method: "POST", body: JSON.stringify(seen) });
    }, Number(params.get("wait") || 2500));
}());
