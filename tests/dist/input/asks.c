/* A program that asks for one symbol of the fake runtime (ASKS names it). */
void ASKS(void);
int main(void) {
    ASKS();
    return 0;
}
