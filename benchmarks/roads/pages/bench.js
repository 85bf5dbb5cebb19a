// The extension road's costs, as a page sees them: from Tervagon.connect() to the
// first answer, then one question after another. The query says how many (calls) and
// names the report (run, label).
(async function () {
    "use strict";
    var SELF = "{3CB4DB0B-97F1-48D8-888E-EEA195ACB43B}";
    var params = new URLSearchParams(location.search);
    var calls = Number(params.get("calls") || 200);
    var outcome = {};
    try {
        var started = performance.now();
        var installer = await Tervagon.connect();
        outcome.road = installer.road;
        outcome.connectMs = performance.now() - started;
        outcome.firstAnswer = await installer.getPackageVersion();
        outcome.firstAnswerMs = performance.now() - started;
        outcome.callMs = [];
        for (var i = 0; i < calls; i++) {
            var before = performance.now();
            var answer = await installer.isValidControl(SELF, "1.0.0.1");
            outcome.callMs.push(performance.now() - before);
            if (answer !== "true") throw new Error("answer " + answer);
        }
    } catch (error) {
        outcome.error = String(error && (error.code || error.message) || error);
    }
    await fetch("/report?run=" + encodeURIComponent(params.get("run")) + "&label=" + encodeURIComponent(params.get("label")),
                { method: "POST", body: JSON.stringify(outcome) });
}());
