// Output written before an error stays; the error names its line and column.
page.writeln("before");
var notAnObject = 1;
if (notAnObject) notAnObject.missing();
page.writeln("never");
