;; name: thrifty
;; about: a small colony on a full store: breeds only when few and fed, gathers until the store is high
;;
;; Strategy. Food in store is what carries a colony through a lean time, and
;; every ant eats from it, so this rule base keeps the colony near the bottom
;; of its range (about 300 ants) and spends the difference on reserves:
;;   - the reproducing share goes down whenever the colony is stable or high,
;;     and up only when it is low and the store is not;
;;   - the gathering share goes up while the store is low or stable, and down
;;     once it is high and there are gatherers to spare.
;; It never uses the emergency conclusions (over_using_food,
;; use_everyone_for_food): a colony held small never needs them.
;;
;; Each pass draws at most one conclusion per action line: the rules of a
;; line are tried from the highest salience down, and the first that applies
;; records its decision (population_decided, food_decided) so that no other
;; rule of that line fires.

(deftemplate colony
	(slot population (allowed-symbols low stable high))
	(slot food_reserves (allowed-symbols low stable high))
	(slot change_FR (allowed-symbols increasing stable decreasing))
	(slot num_gathering_ants (allowed-symbols low normal high)))

(deftemplate world
	(slot food_supply (allowed-symbols low normal high))
	(slot change_FS (allowed-symbols increasing stable decreasing)))

; ---- Population line ----

(defrule enough_mouths
	(declare (salience 40))
	(colony (population stable|high))
	(not (population_decided))
	=>
	(assert (population_decided))
	(assert (lower_population)))

(defrule few_and_fed
	(declare (salience 20))
	(colony (population low) (food_reserves stable|high))
	(not (population_decided))
	=>
	(assert (population_decided))
	(assert (raise_population)))

; ---- Food line ----

(defrule fill_the_store
	(declare (salience 20))
	(colony (food_reserves low|stable))
	(not (food_decided))
	=>
	(assert (food_decided))
	(assert (raise_food_intake)))

(defrule store_is_full
	(declare (salience 10))
	(colony (food_reserves high) (num_gathering_ants normal|high))
	(not (food_decided))
	=>
	(assert (food_decided))
	(assert (lower_food_intake)))
