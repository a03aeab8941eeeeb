namespace geo {
struct Corner { int x, y; };
}
geo::Corner integ_corner;
