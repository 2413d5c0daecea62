"""What a type checker learns of the package: checked with mypy --strict by test_zngroups.py,
never run. Each `type: ignore` marks a call that must be an error; mypy reports an ignore
that has nothing to ignore, so both directions are held."""

from typing import List, Set

from zngroups import ChangeStatus, Group, GroupDetails, MemberDetails, Worker

members: List[str] = Group("ENG-ALL").eventual_members()
count: int = Group("ENG-ALL").eventual_members_count()
public: bool = Group("ENG-ALL").is_public()
member: bool = Group("ENG-ALL").is_valid_direct_member("jdoe")
description: str = Group("ENG-ALL").description()
exists: bool = Group("ENG-ALL").exists()
number: int = Group("ENG-ALUMNI").add_direct_member("egray", user="asmith", password="pw")
created: int = Group("ENG-ALL").create_sub_group("ENG-NEW", "Engineering")
status: ChangeStatus = Group.change_status(number)
found: List[str] = Group.find("ENG-*")
name: str = Worker("jdoe").full_name()
worker_number: int = Worker("jdoe").number()
groups: List[str] = Worker(1002).eventual_groups()
valid: bool = Worker.authenticate("asmith", "pw")
distinct: Set[Group] = {Group("ENG-ALL"), Group("eng-all")}
details: List[MemberDetails] = Group("ENG-ALL").member_details(eventual=True)
mail: str = details[0].email_address
owned: List[GroupDetails] = Worker("jdoe").group_details("owner")

wrong_result: str = Group("ENG-ALL").eventual_members()  # type: ignore[assignment]
Group("ENG-ALL").is_valid_owner(1001)  # type: ignore[arg-type]
Group("ENG-ALL").description("extra")  # type: ignore[call-arg]
details[0].email_address = "x"  # type: ignore[misc]
Group("ENG-ALL").add_owner("jdoe", "asmith")  # type: ignore[misc]
