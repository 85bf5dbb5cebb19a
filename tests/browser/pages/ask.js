// A test page's questions through the page library, and its report to the test site.
// The address's query says what to ask: run and label name the report; q is a JSON
// list of questions, each [method, args...] (by default the package version); frame
// is the address of a frame to put into this page.
(function () {
    "use strict";
    var params = new URLSearchParams(location.search);
    var questions = JSON.parse(params.get("q") || '[["getPackageVersion"]]');

    function report(outcome) {
        var address = "/report?run=" + encodeURIComponent(params.get("run")) +
            "&label=" + encodeURIComponent(params.get("label") || "page");
        return fetch(address, { method: "POST", body: JSON.stringify(outcome) });
    }

    function failure(error) {
        return { code: error.code, name: error.name, message: error.message };
    }

    async function ask(installer) {
        var calls = [];
        for (var i = 0; i < questions.length; i++) {
            var method = questions[i][0];
            var args = questions[i].slice(1);
            try {
                calls.push({ answer: await installer[method].apply(installer, args) });
            } catch (error) {
                calls.push({ failure: failure(error) });
            }
        }
        return calls;
    }

    async function run() {
        var outcome = { location: location.href };
        var started = performance.now();
        try {
            var installer = await Tervagon.connect();
            outcome.road = installer.road;
            outcome.calls = await ask(installer);
        } catch (error) {
            outcome.connect = failure(error);
        }
        outcome.ms = performance.now() - started;
        await report(outcome);
    }

    var frame = params.get("frame");
    if (frame) {
        var element = document.createElement("iframe");
        element.src = frame;
        document.documentElement.appendChild(element);
    }
    run();
}());
