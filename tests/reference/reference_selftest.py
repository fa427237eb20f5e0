#!/usr/bin/env python3
# Checks the reference model itself against worked examples derived by hand, so that the
# expected files it produces rest on arithmetic done outside it.
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vorlin_reference as ref  # noqa: E402


def node_of(row, column):
    grid = []
    ref.recompute_node_grid([column], [row], grid)
    return grid[0][0]


class IntegerRules(unittest.TestCase):
    def test_trunc_div_rounds_toward_zero_for_every_sign(self):
        cases = [(7, 2, 3), (-7, 2, -3), (7, -2, -3), (-7, -2, 3), (0, -5, 0), (-1, 3, 0),
                 # 3800 / -400 is -9.5: -9, where floor division would give -10
                 (3800, -400, -9)]
        for a, b, q in cases:
            self.assertEqual(ref.trunc_div(a, b), q, (a, b))

    def test_saturation(self):
        self.assertEqual(ref.sat32(2 ** 31), 2 ** 31 - 1)
        self.assertEqual(ref.sat32(-2 ** 31 - 1), -2 ** 31)
        self.assertEqual(ref.sat32(-5), -5)


class NodeGrid(unittest.TestCase):
    def test_crossings_from_the_worked_examples(self):
        # Row (0,10)-(20,10) and column (10,0)-(10,20): node {1, 1, 10, 10}.
        self.assertEqual(node_of([[0, 10], [20, 10]], [[10, 0], [10, 20]]), [1, 1, 10, 10])
        # Column (10,0)-(11,20), row (20,10)-(0,10): den = -400, num = -190,
        # ddx = (-190 * -20) / -400 = -9.5 -> -9, X = 11, Y = 10.
        self.assertEqual(node_of([[20, 10], [0, 10]], [[10, 0], [11, 20]]), [1, 1, 11, 10])

    def test_a_crossing_at_a_shared_point_takes_the_earlier_segment(self):
        # The column's point 1 (10, 10) lies on the row: segment 1 ends there and wins.
        column = [[10, 0], [10, 10], [10, 20]]
        self.assertEqual(node_of([[0, 10], [20, 10]], column), [1, 1, 10, 10])

    def test_a_pair_that_never_crosses_keeps_the_last_near_crossing(self):
        # Column x = 50 from y = 20 to 100 in 4 segments, row along y = 10 through x = 50 as
        # its point 1: every column segment's extension meets row segment 1 (which ends at
        # x = 50) first, then segment 2; the last near crossing is column segment 4, row 2.
        column = [[50, 20], [50, 40], [50, 60], [50, 80], [50, 100]]
        row = [[0, 10], [50, 10], [100, 10]]
        self.assertEqual(node_of(row, column), [4, 2, 50, 10])

    def test_a_pair_with_neither_leaves_the_node_as_it_was(self):
        grid = [[[7, 8, 9, 10]]]
        ref.recompute_node_grid([[[100, 0], [100, 5]]], [[[0, 50], [10, 50]]], grid)
        self.assertEqual(grid, [[[7, 8, 9, 10]]])

    def test_exchange_sort_is_not_stable(self):
        # Keys 2, 2, 1 in positions 0, 1, 2 give: key 1, the second key 2, the first key 2.
        curves = [["a"], ["b"], ["c"]]
        grid = [[[0, 2, 0, 0], [0, 2, 0, 0], [0, 1, 0, 0]]]
        ref.sort_curves_by_nodes(curves, [["row"]], ref.COLUMNS, grid)
        self.assertEqual(curves, [["c"], ["b"], ["a"]])
        self.assertEqual([n[1] for n in grid[0]], [1, 2, 2])

    def test_canvas(self):
        self.assertEqual(ref.measure_canvas([], []), (2, 2))
        self.assertEqual(ref.measure_canvas([[[-5, -7]]], []), (2, 2))
        self.assertEqual(ref.measure_canvas([[[3, 1]]], [[[0, 9]]]), (5, 11))
        self.assertEqual(ref.measure_canvas([[[2 ** 31 - 1, 0]]], []), (2 ** 31 - 1, 2))


class Editing(unittest.TestCase):
    def test_thinning_replaces_within_five_pixels_and_appends_at_five(self):
        e = ref.Editor()
        e.begin_stroke([0, 0])
        for p in ([1, 0], [2, 0], [3, 0]):
            e.extend_stroke(p)
        # The first two moves append whatever the distance; (3, 0) is 2 from the
        # second-to-last point (1, 0), so it replaces (2, 0).
        self.assertEqual(e.columns[0], [[0, 0], [1, 0], [3, 0]])
        e = ref.Editor()
        e.begin_stroke([0, 0])
        for p in ([10, 0], [20, 0], [23, 4], [25, 0]):
            e.extend_stroke(p)
        # (23, 4) is compared with (10, 0): appended; (25, 0) with (20, 0): exactly 5, not
        # below it, so appended as well.
        self.assertEqual(e.columns[0], [[0, 0], [10, 0], [20, 0], [23, 4], [25, 0]])
        e.extend_stroke([22, 2])    # sqrt(1 + 4) from (23, 4): replaces (25, 0)
        self.assertEqual(e.columns[0][-2:], [[23, 4], [22, 2]])

    def test_a_column_stroke_crossing_a_column_first_becomes_the_last_row(self):
        e = ref.Editor()
        e.columns = [[[10, 0], [10, 100]], [[90, 0], [90, 100]]]
        e.rows = [[[0, 50], [100, 50]]]
        ref.recompute_node_grid(e.columns, e.rows, e.grid)
        e.begin_stroke([0, 20])
        e.extend_stroke([100, 20])
        e.end_stroke()
        self.assertEqual(len(e.columns), 2)
        # Both rows cross column 0's only segment: equal keys are not exchanged, so the
        # stroke stays the last row.
        self.assertEqual(e.rows, [[[0, 50], [100, 50]], [[0, 20], [100, 20]]])

    def test_deletion_reach_of_the_label_spot(self):
        curves = [[[20, 20], [20, 60]]]
        # At the first point itself: sqrt(64 + 64) = 11.3 from the spot, nothing deleted.
        self.assertFalse(ref.delete_curve_at(curves, [20, 20]))
        self.assertTrue(ref.delete_curve_at(curves, [28, 28]))
        self.assertEqual(curves, [])

    def test_move_node_bends_a_tent(self):
        # 3 x 3 straight mesh; the middle node sits on row segment 3 and column segment 3.
        e = ref.Editor()
        e.columns = [[[0, y] for y in range(0, 101, 20)], [[50, y] for y in range(0, 101, 20)],
                     [[100, y] for y in range(0, 101, 20)]]
        e.rows = [[[x, 10] for x in range(0, 101, 20)], [[x, 50] for x in range(0, 101, 20)],
                  [[x, 90] for x in range(0, 101, 20)]]
        ref.recompute_node_grid(e.columns, e.rows, e.grid)
        self.assertEqual(e.grid[1][1], [3, 3, 50, 50])
        e.right_button_down([50, 50])
        e.right_button_up([60, 50])  # dx = 10, dy = 0
        # Row 1: neighbours at point 1 (x = 0 lies on segment 1) and point 5 (x = 100 on
        # segment 5). Points 1..3 get (k - 1) * 10 / 2: 0, 5, 10; points 4..5 get
        # (5 - k) * 10 / 2: 5, 0.
        self.assertEqual([p[0] for p in e.rows[1]], [0, 20, 45, 70, 85, 100])
        # Column 1 the same way between row 0 (segment 1) and row 2 (segment 5).
        self.assertEqual([p[0] for p in e.columns[1]], [50, 50, 55, 60, 55, 50])
        self.assertEqual([p[1] for p in e.columns[1]], [0, 20, 40, 60, 80, 100])
        self.assertEqual(e.grid[1][1][2:], [60, 50])


class Warp(unittest.TestCase):
    def ramp(self, size):
        # red = 20 x, green = 5 y: where each sample was taken can be read back.
        return ref.Image(size, size, [0xFF000000 | (20 * x) << 16 | (5 * y) << 8
                                      for y in range(size) for x in range(size)])

    def test_axis_aligned_square(self):
        src = self.ramp(12)
        target = ref.Image(30, 30, [0] * 900)
        ref.warp_quad(src, target, 0.0, 0.0, 10.0, 10.0, (10.0, 10.0), (20.0, 10.0),
                      (10.0, 20.0), (20.0, 20.0))
        written = [(x, y) for y in range(30) for x in range(30) if target.pixels[y * 30 + x]]
        self.assertEqual(written, [(x, y) for y in range(10, 21) for x in range(10, 21)])
        self.assertEqual(target.pixels[10 * 30 + 10], 0xFF000000)            # samples (0, 0)
        self.assertEqual(target.pixels[20 * 30 + 20], 0xFF000000 | 200 << 16 | 50 << 8)  # (10, 10)
        # Pixel (15, 12): t = -5 / -10 = 0.5, s = -8 / -10 = 0.8 (0.80000000000000004),
        # source y = 10 * (1 - 0.8) = 10 * 0.19999999999999996 = 1.9999999999999996, so
        # ya = 1, fy = 0.9999999999999996 and green = 5 * 2^-51 + 10 * (1 - 2^-51)
        # = 9.99999999999999..., truncated to 9; red at x = 5 exactly is 100.
        self.assertEqual(target.pixels[12 * 30 + 15], 0xFF000000 | 100 << 16 | 9 << 8)

    def test_sampling_half_way_past_the_last_column_halves_the_edge(self):
        src = ref.Image(4, 1, [0xFF000000 | 255 << 16] * 4)
        # x = 3.5: c00 = 255 at column 3, c10 outside = 0, fx = 0.5: 127.5 -> 127.
        self.assertEqual(ref.sample_bilinear(src, 3.5, 0.0), 0xFF000000 | 127 << 16)

    def test_a_quad_whose_corners_coincide_writes_nothing(self):
        target = ref.Image(10, 10, [0] * 100)
        p = (5.0, 5.0)
        ref.warp_quad(self.ramp(4), target, 0.0, 0.0, 3.0, 3.0, p, p, p, p)
        self.assertEqual(target.pixels, [0] * 100)

    def test_left_of_the_source_a_negative_weight_gives_channel_zero(self):
        src = ref.Image(2, 1, [0xFF000000 | 200 << 16 | 200 << 8 | 200] * 2)
        # x = -1.5: xa = -1 (outside, 0), xb = trunc(-0.5) = 0, fx = -0.5:
        # 0 * 1.5 + 200 * -0.5 = -100 -> 0 in every channel.
        self.assertEqual(ref.sample_bilinear(src, -1.5, 0.0), 0xFF000000)

    def test_each_cell_gets_its_share_of_the_selection(self):
        # Columns at x = 0, 10, 20 and rows at y = 0, 10 with selection (0, 0, 100, 50):
        # the first cell receives source x 0..50, the second 50..100, both y 0..50.
        e = ref.Editor()
        e.selection = [0, 0, 100, 50]
        e.columns = [[[x, -1], [x, 11]] for x in (0, 10, 20)]
        e.rows = [[[-1, y], [21, y]] for y in (0, 10)]
        ref.recompute_node_grid(e.columns, e.rows, e.grid)
        src = ref.Image(101, 51, [0xFF000000 | (2 * x) << 16 | (4 * y) << 8
                                  for y in range(51) for x in range(101)])
        target = ref.Image(22, 12, [0] * 264)

        def red_green(x, y):
            v = target.pixels[y * 22 + x]
            return (v >> 16) & 0xFF, (v >> 8) & 0xFF
        ref.render_mesh_warp(src, target, e)
        self.assertEqual(red_green(5, 0), (50, 0))      # t = 0.5: source x 25
        self.assertEqual(red_green(10, 0), (100, 0))    # the shared edge: source x 50
        # (15, 10): t = 0.5, s = -0 / -10 = -0.0, source (75, 50)
        self.assertEqual(red_green(15, 10), (150, 200))
        self.assertEqual(target.pixels[11 * 22 + 21], 0)  # outside every cell

    def test_only_a_marked_selection_is_warped(self):
        # One cell (0, 0)-(4, 4) over a 5 x 5 source whose green is 10 y. Nothing marked
        # (width -1, or -5 from a band dragged leftwards): no pixel written. Height -4 from
        # y = 4: row Y samples 4 - Y, the picture upside down.
        e = ref.Editor()
        e.columns = [[[x, -1], [x, 5]] for x in (0, 4)]
        e.rows = [[[-1, y], [5, y]] for y in (0, 4)]
        ref.recompute_node_grid(e.columns, e.rows, e.grid)
        src = ref.Image(5, 5, [0xFF000000 | (10 * y) << 8 for y in range(5) for x in range(5)])
        for selection in ([0, 0, -1, 0], [4, 0, -5, 4]):
            e.selection = selection
            target = ref.Image(5, 5, [0] * 25)
            ref.render_mesh_warp(src, target, e)
            self.assertEqual(target.pixels, [0] * 25)
        e.selection = [0, 4, 4, -4]
        target = ref.Image(5, 5, [0] * 25)
        ref.render_mesh_warp(src, target, e)
        self.assertEqual([(target.pixels[y * 5 + 2] >> 8) & 0xFF for y in range(5)],
                         [40, 30, 20, 10, 0])

class Files(unittest.TestCase):
    def test_png_round_trip(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "t.png")
            ref.write_png(path, 2, 1, [bytes([1, 2, 3, 4, 5, 6, 7, 8])])
            image = ref.read_image(path)
            self.assertEqual(image.pixels, [0x04010203, 0x08050607])

    def test_lzw_with_a_repeated_string(self):
        # Minimum code size 2: clear 4, end 5. Codes 1, 1 (adds 6 = "11"), 6 (adds 7 = "11"
        # again, after which the next code would be 8, so codes widen from 3 to 4 bits),
        # then 1 (adds 8 = "111") and end, packed from the low bit: widths 3, 3, 3, 3, 4, 4.
        codes, widths = [4, 1, 1, 6, 1, 5], [3, 3, 3, 3, 4, 4]
        bits, shift = 0, 0
        for code, width in zip(codes, widths):
            bits |= code << shift
            shift += width
        data = bits.to_bytes(3, "little")
        self.assertEqual(ref.lzw_decode(data, 2), bytes([1, 1, 1, 1, 1]))


if __name__ == "__main__":
    unittest.main(verbosity=1)
