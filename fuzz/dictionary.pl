#!/usr/bin/env perl
# A libFuzzer dictionary from the string literals of our own tables, so that it changes
# with them. Usage: dictionary.pl [--all] FILE...
# Without --all only the literals inside "clang-format off" blocks (the tables) are taken.
use strict;
use warnings;

my $all = @ARGV && $ARGV[0] eq '--all' ? shift @ARGV : 0;
my %seen;
for my $file (@ARGV) {
    open(my $in, '<', $file) or die "$file: $!\n";
    my $inTable = 0;
    while (my $line = <$in>) {
        $inTable = 1 if $line =~ m{//\s*clang-format off};
        $inTable = 0 if $line =~ m{//\s*clang-format on};
        next unless $all || $inTable;
        next if $line =~ m{^\s*(//|#\s*include)};
        while ($line =~ /"((?:[^"\\]|\\.)*)"/g) {
            my $text = $1;
            # C escapes to bytes, then every byte libFuzzer cannot read raw as \xHH.
            $text =~ s/\\([nrtf"\\'])/{n=>"\n",r=>"\r",t=>"\t",f=>"\f",'"'=>'"','\\'=>'\\',"'"=>"'"}->{$1}/ge;
            $text =~ s/\\x([0-9A-Fa-f]{2})/chr(hex($1))/ge;
            next if length($text) < 2 || length($text) > 120;
            my $entry = join('', map {
                my $c = ord($_);
                $_ eq '\\' ? '\\\\' : $_ eq '"' ? '\\"' : ($c < 32 || $c > 126) ? sprintf('\\x%02X', $c) : $_
            } split(//, $text));
            print "\"$entry\"\n" unless $seen{$entry}++;
        }
    }
}
