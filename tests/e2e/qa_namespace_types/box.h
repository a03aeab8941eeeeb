namespace geo {
namespace shapes {
struct Box {
    int w, h;
    int area() const;
};
}
}
