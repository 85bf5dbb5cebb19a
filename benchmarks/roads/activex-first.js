// One question through the page library on the ActiveX road: the whole page host's run
// around it is the cost of a new page's first answer.
Tervagon.connect({ object: installer }, function (error, checker) {
    if (error) throw error;
    checker.getPackageVersion(function (error, answer) {
        if (error) throw error;
        page.writeln(answer);
    });
});
