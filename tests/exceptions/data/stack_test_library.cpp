// A library whose exports carry the name forms a report must show: a plain
// name, a dotted name, a decorated name and one that is never shown (the
// .def file gives the names).

extern "C" {
int Plain(int x) {
    return x + 1;
}
int UnitProc(int x) {
    return x * 3 + 2;
}
int Decorated(int x) {
    return x * 5 + 3;
}
int Hidden(int x) {
    return x * 7 + 4;
}
}
