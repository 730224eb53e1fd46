# What kestra's usage lists, for the tests that hold the manual page and the bash completion
# against it. Sourced; each function takes the command line that shows a usage (the program,
# then the command and card's command, if any).

# kestra_commands KESTRA [COMMAND...]: the commands that usage lists, one a line.
kestra_commands() {
    "$@" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'
}

# kestra_options KESTRA [COMMAND...]: the options that usage lists, one a line.
kestra_options() {
    "$@" --help | sed -n '/^Options:/,/^$/s/^  \(-[^ ]*\).*/\1/p' | tr ',' '\n'
}

# kestra_command_lines KESTRA: every command, with card's commands as "card send" and so on.
kestra_command_lines() {
    local command sub
    for command in $(kestra_commands "$1"); do
        echo "$command"
        for sub in $(kestra_commands "$1" "$command"); do
            echo "$command $sub"
        done
    done
}

# kestra_exit_codes KESTRA: the exit codes the top-level usage explains.
kestra_exit_codes() {
    "$1" --help | sed -n '/^Exit codes:/,/^$/s/^  \([0-9][0-9]*\) .*/\1/p'
}
