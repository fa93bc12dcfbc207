#!/usr/bin/env python3
"""Reference permutations of DSVRGP for inputs with many equal values.

Singleton's quicksort (moving pivot fraction, insertion sort for short
segments that do not start at position 1), written out independently of the
C++ code, carrying the permutation 1..n.  The order of equal values is
whatever these steps give, so the C++ sort is checked against it.

Writes tests/numlib/golden/dsvrgp_ties.txt: per case a line "n", a line of
the n values and a line of the n permutation entries.

    python3 scripts/reference/dsvrgp_ties.py > tests/numlib/golden/dsvrgp_ties.txt
"""


def singleton(values):
    a = [None] + list(values)  # 1-based
    p = [None] + list(range(1, len(values) + 1))
    n = len(values)

    def swap(u, v):
        a[u], a[v] = a[v], a[u]
        p[u], p[v] = p[v], p[u]

    stack = []
    i, j, r = 1, n, 0.375
    state = "fresh"
    while True:
        if state == "fresh":
            if i == j:
                state = "pop"
                continue
            r = r + 0.0390625 if r <= 0.5898437 else r - 0.21875
            state = "partition"
        elif state == "partition":
            k = i
            ij = i + int((j - i) * r)
            t = a[ij]
            if a[i] > t:
                swap(ij, i)
                t = a[ij]
            l = j
            if a[j] < t:
                swap(ij, j)
                t = a[ij]
                if a[i] > t:
                    swap(ij, i)
                    t = a[ij]
            while True:
                l -= 1
                while a[l] > t:
                    l -= 1
                k += 1
                while a[k] < t:
                    k += 1
                if k > l:
                    break
                if a[l] != a[k]:
                    swap(l, k)
            if l - i > j - k:
                stack.append((i, l))
                i = k
            else:
                stack.append((k, j))
                j = l
            state = "short"
        elif state == "short":
            if j - i >= 11:
                state = "partition"
            elif i == 1:
                state = "fresh"
            else:
                for pos in range(i + 1, j + 1):
                    v, w = a[pos], p[pos]
                    q = pos - 1
                    while a[q] > v:
                        a[q + 1], p[q + 1] = a[q], p[q]
                        q -= 1
                    a[q + 1], p[q + 1] = v, w
                state = "pop"
        else:  # pop
            if not stack:
                return a[1:], p[1:]
            i, j = stack.pop()
            state = "short"


def main():
    seed = 20240611

    def draw(limit):
        nonlocal seed
        seed = (seed * 1103515245 + 12345) % 2**31
        return seed % limit

    for n, distinct in [(2, 1), (5, 2), (11, 3), (12, 2), (13, 4), (25, 3), (40, 5), (100, 4), (257, 10),
                        (1000, 7)]:
        values = [float(draw(distinct)) - distinct // 2 for _ in range(n)]
        sorted_values, perm = singleton(values)
        assert sorted_values == sorted(values)
        assert [values[k - 1] for k in perm] == sorted_values
        print(n)
        print(" ".join(repr(v) for v in values))
        print(" ".join(str(k) for k in perm))


if __name__ == "__main__":
    main()
