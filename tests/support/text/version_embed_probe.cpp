// A small program whose only purpose is to carry a version block of its own values; the
// version reader's tests read it from this program's file.
int main()
{
    return 0;
}
