;; name: boom
;; about: breeds while there is food to breed on, up to the top of the colony's range, and gathers to feed the brood
;;
;; Strategy. A large colony gathers more and survives losses better, so this
;; rule base breeds whenever the colony is not already large and food is to
;; be had (in the world or in store), and holds the colony near the top of its
;; range (about 400 ants):
;;   - the reproducing share goes up while the colony is low or stable and
;;     either the world's food supply is normal or high or the store is not
;;     low; it goes down as soon as the colony is high, since births lag the
;;     shares by several passes and an unchecked boom outgrows the world;
;;   - the gathering share goes up while the store is low or stable, and down
;;     once the store is high: food beyond that feeds no one.
;;
;; Each pass draws at most one conclusion per action line (see thrifty.clp
;; for how population_decided and food_decided see to that).

(deftemplate colony
	(slot population (allowed-symbols low stable high))
	(slot food_reserves (allowed-symbols low stable high))
	(slot change_FR (allowed-symbols increasing stable decreasing))
	(slot num_gathering_ants (allowed-symbols low normal high)))

(deftemplate world
	(slot food_supply (allowed-symbols low normal high))
	(slot change_FS (allowed-symbols increasing stable decreasing)))

; ---- Population line ----

(defrule large_enough
	(declare (salience 40))
	(colony (population high))
	(not (population_decided))
	=>
	(assert (population_decided))
	(assert (lower_population)))

(defrule plenty_breeds
	(declare (salience 20))
	(colony (population low|stable))
	(or (world (food_supply normal|high))
		(colony (food_reserves stable|high)))
	(not (population_decided))
	=>
	(assert (population_decided))
	(assert (raise_population)))

; ---- Food line ----

(defrule feed_the_brood
	(declare (salience 20))
	(colony (food_reserves low|stable))
	(not (food_decided))
	=>
	(assert (food_decided))
	(assert (raise_food_intake)))

(defrule spend_the_store
	(declare (salience 10))
	(colony (food_reserves high))
	(not (food_decided))
	=>
	(assert (food_decided))
	(assert (lower_food_intake)))
