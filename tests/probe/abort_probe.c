/* A shared object that can end its caller: the exports test must refuse it.
 * Built as the library would be if an assert, abort or exit crept back in. */
#undef NDEBUG
#include <assert.h>
#include <stdlib.h>

int probe(int x) {
    assert(x != 1);
    if (x == 2) abort();
    if (x == 3) exit(3);
    return x;
}
