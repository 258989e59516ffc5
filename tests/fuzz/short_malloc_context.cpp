// AddressSanitizer defaults for targets whose inputs go through jsoncpp.
//
// ASan records the call stack of every allocation and free in its stack depot, which never
// shrinks, and records them with the frame-pointer unwinder. The distribution's jsoncpp is built
// without frame pointers and uses %rbp as an ordinary register (in the reader it holds pointers to
// the reader's own data on our stack), so the unwinder follows it into stack contents and keeps a
// new, bogus trace for nearly every allocation jsoncpp makes: the depot, not the heap, grows by
// tens of megabytes per thousand deeply nested documents until the fuzzer's memory limit ends the
// run. Two frames (the allocation site and its caller) are still read correctly and are all the
// depot keeps here; the report of a fault itself is unwound in full. The slow unwinder would keep
// whole traces but runs these targets about twenty times slower.
//
// The environment still wins: ASAN_OPTIONS=malloc_context_size=30 shows full allocation stacks
// when a finding is replayed.
extern "C" const char* __asan_default_options()
{
    return "malloc_context_size=2";
}
