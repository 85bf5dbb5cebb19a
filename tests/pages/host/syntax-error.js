// A page that does not parse runs nothing at all.
page.writeln("never");
var = 1;
